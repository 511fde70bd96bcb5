#include "tests/lumen/retrieval/RetrievalTesting.h"

#include "Lumen/download/SessionDelegate.h"
#include "Lumen/retrieval/ImageDataProvider.h"

namespace Lumen::Testing {
namespace {

using Tivrand::Testing::waitUntil;

// Keeps the handler until the test answers.
class GatedProvider final : public ImageDataProvider {
public:
    QString cacheKey() const override { return QStringLiteral("gated"); }
    void data(DataHandler handler) const override
    {
        std::lock_guard lock(m_mutex);
        m_handler = std::move(handler);
    }
    bool isAsked() const
    {
        std::lock_guard lock(m_mutex);
        return static_cast<bool>(m_handler);
    }
    void answer(const QByteArray& bytes)
    {
        DataHandler handler;
        {
            std::lock_guard lock(m_mutex);
            handler = std::exchange(m_handler, {});
        }
        handler(bytes);
    }

private:
    mutable std::mutex m_mutex;
    mutable DataHandler m_handler;
};

bool finishes(const QFuture<LumenManager::RetrieveResult>& future)
{
    return waitUntil([&] { return future.isFinished(); }, std::chrono::seconds(10));
}

TEST_F(ManagerTest, TheFutureFormFinishesWithTheResultAndItsCancelStopsTheRetrievalAtEveryStage)
{
    auto failed = manager->retrieveImageAsync(source(QStringLiteral("/status/404")), LumenOptionsInfo{});
    ASSERT_TRUE(finishes(failed));
    EXPECT_TRUE(failed.result().error().isInvalidResponseStatusCode(404));

    const auto provider = std::make_shared<GatedProvider>();
    const auto strategy = std::make_shared<ScriptedStrategy>(std::vector<RetryDecision::Kind>{}, true);
    const Source held = red();
    const Source fallback = source(QStringLiteral("/other.png"));
    server.holdResponses("/image.png");
    const struct {
        const char* name;
        Source source;
        LumenOptionsInfo options;
        // Drives the retrieval to the stage, then lets the stage end after the cancel.
        std::function<bool()> reach;
        std::function<void()> resume;
        // What would show a further step.
        std::function<bool()> furtherStep;
    } cases[] = {
        {"download", held, {Option::AlternativeSources{{fallback}}},
         [&] { return waitUntil([&] { return server.hits("/image.png") == 1; }); },
         [&] { EXPECT_TRUE(waitUntil([&] { return !downloader->sessionDelegate()->task(held.url().value()); })); },
         [&] { return server.hits("/other.png") > 0; }},
        {"provider", Source::provider(provider), {Option::AlternativeSources{{fallback}}},
         [&] { return waitUntil([&] { return provider->isAsked(); }); },
         [&] { provider->answer("not an image"); }, [&] { return server.hits("/other.png") > 0; }},
        {"retry wait", Source::provider(provider), {Option::RetryStrategy{strategy}},
         [&] {
             if (!waitUntil([&] { return provider->isAsked(); }))
                 return false;
             provider->answer("not an image");
             return waitUntil([&] { return !strategy->asked().empty(); });
         },
         [&] { strategy->retryHeld(); }, [&] { return provider->isAsked(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto future = manager->retrieveImageAsync(c.source, c.options);
        ASSERT_TRUE(c.reach());
        future.cancel();
        ASSERT_TRUE(finishes(future));
        EXPECT_TRUE(future.isCanceled());
        c.resume();
        EXPECT_FALSE(waitUntil(c.furtherStep, std::chrono::milliseconds(200)));
    }
}

} // namespace
} // namespace Lumen::Testing
