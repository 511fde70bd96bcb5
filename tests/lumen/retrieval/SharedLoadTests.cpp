#include "tests/lumen/retrieval/RetrievalTesting.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>

namespace Lumen::Testing {
namespace {

using Tivrand::Testing::pumpEvents;
using Tivrand::Testing::waitUntil;

// Decodes like the default processor once the test opens its gate: a transfer held there is
// over, while its image is not stored yet.
class GatedProcessor final : public ImageProcessor {
public:
    QString identifier() const override { return QStringLiteral("gated"); }
    ImagePtr process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const override
    {
        {
            std::unique_lock lock(m_mutex);
            m_entered = true;
            m_changed.notify_all();
            m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_open; });
        }
        return DefaultImageProcessor::shared()->process(item, options);
    }
    bool waitEntered() const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_entered; });
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    mutable bool m_entered = false;
    bool m_open = false;
};

TEST_F(ManagerTest, RetrievalsOfOneEntryShareOneTransferUntilItsImageIsStored)
{
    const auto gate = std::make_shared<GatedProcessor>();
    const LumenOptionsInfo items{Option::Processor{gate}, Option::CallbackQueue{CallbackQueue::untouch()}};
    Retrievals done;
    // Callers of the transfer each see its progress.
    std::atomic<int> progressed = 0;
    const auto retrieveFromEightThreads = [&](bool watchProgress) {
        std::vector<std::jthread> threads;
        for (int thread = 0; thread < 8; ++thread)
            threads.emplace_back([&] {
                for (int retrieval = 0; retrieval < 25; ++retrieval) {
                    LumenManager::ProgressBlock progress;
                    if (watchProgress)
                        progress = [seen = std::make_shared<std::atomic<bool>>(false), &progressed](std::int64_t, std::int64_t) {
                            progressed += !seen->exchange(true);
                        };
                    manager->retrieveImage(red(), items, std::move(progress), {}, done.handler());
                }
            });
    };

    server.holdResponses("/image.png");
    retrieveFromEightThreads(true);
    ASSERT_TRUE(waitUntil([&] { return server.hits("/image.png") == 1; }));
    server.releaseResponses();
    // Between the end of the transfer and the store of its image, more callers arrive.
    ASSERT_TRUE(gate->waitEntered());
    retrieveFromEightThreads(false);
    gate->open();

    ASSERT_TRUE(done.waitFor(400));
    EXPECT_EQ(server.hits("/image.png"), 1);
    for (std::size_t index = 0; index < done.size(); ++index)
        ASSERT_EQ(colorOf(done.at(index)), QColor(Qt::red)) << index;
    EXPECT_TRUE(waitUntil([&] { return progressed == 200; }));
}

// Against a server that answers at once: whatever the timing, one transfer per URL.
TEST_F(ManagerTest, AThousandRetrievalsOfEachOfAHundredURLsFromEightThreadsMakeAHundredTransfers)
{
    constexpr int urls = 100;
    constexpr int perURL = 1000;
    constexpr int threads = 8;
    const LumenOptionsInfo items{Option::CallbackQueue{CallbackQueue::untouch()}};
    std::atomic<int> succeeded = 0;
    std::atomic<int> answered = 0;
    {
        std::vector<std::jthread> workers;
        for (int thread = 0; thread < threads; ++thread)
            workers.emplace_back([&, thread] {
                for (int retrieval = thread; retrieval < urls * perURL; retrieval += threads)
                    manager->retrieveImage(source(QStringLiteral("/image.png?n=%1").arg(retrieval % urls)), items, {},
                                           {}, [&](const LumenManager::RetrieveResult& result) {
                                               succeeded += result.has_value();
                                               ++answered;
                                           });
            });
    }
    ASSERT_TRUE(waitUntil([&] { return answered == urls * perURL; }, std::chrono::seconds(120)));
    EXPECT_EQ(succeeded, urls * perURL);
    EXPECT_EQ(server.hits("/image.png"), urls);
}

// Answers twice, at once: the bytes, then an error.
class TwiceAnsweringProvider final : public ImageDataProvider {
public:
    explicit TwiceAnsweringProvider(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    QString cacheKey() const override { return QStringLiteral("twice"); }
    void data(DataHandler handler) const override
    {
        handler(m_bytes);
        handler(std::unexpected(UnderlyingError(QStringLiteral("test"), 1, QStringLiteral("again"))));
    }

private:
    const QByteArray m_bytes;
};

TEST_F(ManagerTest, AProviderThatAnswersTwiceCompletesTheRetrievalOnce)
{
    Retrievals done;
    manager->retrieveImage(Source::provider(std::make_shared<TwiceAnsweringProvider>(redBytes)), LumenOptionsInfo{}, {},
                           {}, done.handler());
    ASSERT_TRUE(done.waitFor(1));
    EXPECT_EQ(colorOf(done.at(0)), QColor(Qt::red));
    // A second answer would have come through the same queues by now.
    pumpEvents(std::chrono::milliseconds(200));
    EXPECT_EQ(done.size(), 1u);
}

} // namespace
} // namespace Lumen::Testing
