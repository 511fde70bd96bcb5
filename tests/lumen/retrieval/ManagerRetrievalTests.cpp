#include "tests/lumen/retrieval/RetrievalTesting.h"

#include "Lumen/download/AsyncImageDownloadRequestModifier.h"
#include "Lumen/download/SessionDelegate.h"
#include "Lumen/retrieval/PropagationError.h"

#include <QPromise>

#include <random>
#include <thread>

#include <unistd.h>

namespace Lumen::Testing {
namespace {

using Tivrand::Testing::waitUntil;

TEST_F(ManagerTest, RetriesThenAlternativesThenReportsEverySourceGivenUp)
{
    const auto strategy = std::make_shared<ScriptedStrategy>(std::vector{RetryDecision::Kind::retry});
    const Source requested = source(QStringLiteral("/status/500"));
    const std::vector<Source> alternatives{source(QStringLiteral("/status/404")), source(QStringLiteral("/status/503"))};
    Retrievals done;
    std::atomic<int> laterTasks{0};
    manager->retrieveImage(
        requested, LumenOptionsInfo{Option::RetryStrategy{strategy}, Option::AlternativeSources{alternatives}}, {},
        [&](const std::shared_ptr<DownloadTask>& task) { laterTasks += task != nullptr; }, done.handler());
    ASSERT_TRUE(done.waitFor(1));
    EXPECT_EQ(laterTasks, 3);

    // The count goes on across sources, and each decision sees the latest failure.
    const int statuses[] = {500, 500, 404, 503};
    const auto asked = strategy->asked();
    ASSERT_EQ(asked.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(asked[i].retriedCount, i);
        EXPECT_TRUE(asked[i].error.isInvalidResponseStatusCode(statuses[i]));
    }
    const auto failed = done.at(0);
    const auto* exhausted = failed.error().reasonAs<LumenError::ImageSettingErrorReason::AlternativeSourcesExhausted>();
    ASSERT_NE(exhausted, nullptr);
    ASSERT_EQ(exhausted->errors->size(), 3u);
    EXPECT_EQ(exhausted->errors->at(2).source, alternatives[1]);
}

// The strategy hears of every cancel; it may start the requested source again only when the
// caller did not cancel (the downloader's own cancel).
TEST_F(ManagerTest, ACancelledDownloadAsksTheRetryStrategyAndIsNeverPassedOn)
{
    const struct { const char* name; bool callerCancels; RetryDecision::Kind decision; int transfers; int code; } cases[] = {
        {"caller, stop", true, RetryDecision::Kind::stop, 1, 1003},
        {"caller, retry", true, RetryDecision::Kind::retry, 1, 1003},
        {"downloader, stop", false, RetryDecision::Kind::stop, 1, 1003},
        {"downloader, retry", false, RetryDecision::Kind::retry, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Source requested = source(QStringLiteral("/image.png?case=") + QString::fromUtf8(c.name));
        const auto strategy = std::make_shared<ScriptedStrategy>(std::vector{c.decision});
        server.holdResponses("/image.png");
        Retrievals done;
        const LumenOptionsInfo options{Option::RetryStrategy{strategy},
                                       Option::AlternativeSources{{source(QStringLiteral("/other.png"))}}};
        const int before = server.hits("/image.png");
        const auto task = manager->retrieveImage(requested, options, {}, {}, done.handler());
        ASSERT_TRUE(waitUntil([&] { return server.hits("/image.png") == before + 1; }));
        if (c.callerCancels)
            task->cancel();
        else
            downloader->cancelAll();
        ASSERT_TRUE(waitUntil([&] { return !strategy->asked().empty(); }));
        EXPECT_TRUE(strategy->asked().front().error.isTaskCancelled());
        ASSERT_TRUE(waitUntil([&] { return server.hits("/image.png") == before + c.transfers; }));
        server.releaseResponses();
        ASSERT_TRUE(done.waitFor(1));
        EXPECT_EQ(codeOf(done.at(0)), c.code);
        EXPECT_EQ(server.hits("/image.png"), before + c.transfers);
        EXPECT_EQ(server.hits("/other.png"), 0);
    }
}

// A source that fails inside its attempt's call starts the next attempt before that call
// returns; the caller still hears of the tasks in the order the attempts started.
TEST_F(ManagerTest, TheLastTaskACallerHearsOfIsTheRunningAttempts)
{
    server.holdResponses("/image.png");
    Tivrand::Testing::Collected<std::shared_ptr<DownloadTask>> heard;
    Retrievals done;
    manager->retrieveImage(
        source(QStringLiteral("/status/404")),
        LumenOptionsInfo{Option::AlternativeSources{{Source::network(LM::ImageResource(QUrl())), red()}}}, {},
        heard.handler(), done.handler());
    ASSERT_TRUE(heard.waitFor(2));
    ASSERT_NE(heard.at(1), nullptr);
    heard.at(1)->cancel();
    ASSERT_TRUE(done.waitFor(1));
    EXPECT_EQ(codeOf(done.at(0)), 1003);
    server.releaseResponses();
}

// Each retry starts from a fresh call, so a strategy that keeps retrying a miss that ends inside
// its own call never runs the stack out.
TEST_F(ManagerTest, AHundredThousandRetriesOfAMissEndOnceInBoundedStack)
{
    constexpr std::size_t retries = 100'000;
    const auto strategy =
        std::make_shared<ScriptedStrategy>(std::vector<RetryDecision::Kind>(retries, RetryDecision::Kind::retry));
    Retrievals done;
    manager->retrieveImage(red(), LumenOptionsInfo{Option::OnlyFromCache{}, Option::RetryStrategy{strategy}}, {}, {},
                           done.handler());
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done.at(0).error().errorCode(), imageNotExistingError(red().cacheKey()).errorCode());
    EXPECT_EQ(strategy->asked().size(), retries + 1);
}

TEST_F(ManagerTest, ALowDataModeRefusalTurnsToTheLowDataModeSource)
{
    auto configuration = URLSessionConfiguration::ephemeral();
    configuration.isNetworkConstrained = [] { return true; };
    downloader->setSessionConfiguration(configuration);
    const Source requested = red();
    const Source lowData = source(QStringLiteral("/other.png"));

    const auto result = retrieve(requested, {Option::LowDataMode{lowData},
                                             Option::AlternativeSources{{source(QStringLiteral("/status/404"))}}});
    EXPECT_EQ(colorOf(result), QColor(Qt::green));
    EXPECT_EQ(result->originalSource, requested);
    EXPECT_EQ(server.hits("/status/404"), 0);
}

class GatedModifier final : public AsyncImageDownloadRequestModifier {
public:
    QFuture<std::optional<URLRequest>> modified(const URLRequest& request) const override
    {
        std::lock_guard lock(mutex);
        held = request;
        promise.start();
        return promise.future();
    }
    std::function<void(std::shared_ptr<DownloadTask>)> onDownloadTaskStarted() const override { return {}; }
    void answer()
    {
        std::lock_guard lock(mutex);
        promise.addResult(held);
        promise.finish();
    }

private:
    mutable std::mutex mutex;
    mutable QPromise<std::optional<URLRequest>> promise;
    mutable std::optional<URLRequest> held;
};

TEST_F(ManagerTest, ATaskHandedBackBeforeItsTransferIsKnownStillCancels)
{
    const auto modifier = std::make_shared<GatedModifier>();
    Retrievals done;
    const auto task =
        manager->retrieveImage(red(), LumenOptionsInfo{Option::RequestModifier{modifier}}, {}, {}, done.handler());
    ASSERT_FALSE(task->isInitialized());
    task->cancel();
    modifier->answer();
    ASSERT_TRUE(done.waitFor(1));
    EXPECT_TRUE(done.at(0).error().isTaskCancelled());
}

// Keeps the handler until the test answers; answering lets it go, so no retrieval it holds outlives
// the test.
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
    const Source heldAlternative = source(QStringLiteral("/image.png?alternative"));
    const auto transferOf = [&](const Source& of) { return downloader->sessionDelegate()->task(of.url().value()); };
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
        // The first source fails inside the call, so the alternative's download starts before the
        // call returns.
        {"download of an alternative", Source::network(LM::ImageResource(QUrl())),
         {Option::AlternativeSources{{heldAlternative, fallback}}},
         [&] { return waitUntil([&] { return transferOf(heldAlternative) != nullptr; }); },
         [&] { EXPECT_TRUE(waitUntil([&] { return !transferOf(heldAlternative); })); },
         [&] { return server.hits("/other.png") > 0; }},
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

// The first attempt's call returns only once its attempt has ended on another thread, as a call
// held up on its way back would.
class LateReturningManager final : public ManagerSubclass<LateReturningManager> {
public:
    using ManagerSubclass::ManagerSubclass;
    std::shared_ptr<DownloadTask> retrieveImage(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                                CompletionHandler completionHandler) override
    {
        if (firstCalled.exchange(true))
            return LumenManager::retrieveImage(source, context, std::move(completionHandler));
        auto task = LumenManager::retrieveImage(source, context, [this, completionHandler](RetrieveResult result) {
            firstEnded = true;
            completionHandler(std::move(result));
        });
        EXPECT_TRUE(waitUntil([this] { return firstEnded.load(); }));
        nextStartedEarly = nextStarted();
        firstReturned = true;
        return task;
    }

    std::function<bool()> nextStarted;
    std::atomic<bool> firstCalled = false;
    std::atomic<bool> firstEnded = false;
    std::atomic<bool> firstReturned = false;
    std::atomic<bool> nextStartedEarly = false;
};

// The next source waits for the first attempt's call to return, and a future's cancel reaches it.
TEST_F(ManagerTest, ALaterAttemptStartsOnlyOnceTheCallBeforeReturnedAndAFutureCancelReachesIt)
{
    const auto late = LateReturningManager::make(downloader, cache);
    manager = late;
    const Source held = source(QStringLiteral("/image.png?later"));
    const auto transfer = [&] { return downloader->sessionDelegate()->task(held.url().value()); };
    late->nextStarted = [&] { return transfer() != nullptr; };
    server.holdResponses("/image.png");
    auto future = late->retrieveImageAsync(source(QStringLiteral("/status/404")),
                                           LumenOptionsInfo{Option::AlternativeSources{{held}}});
    ASSERT_TRUE(waitUntil([&] { return late->firstReturned.load(); }));
    EXPECT_FALSE(late->nextStartedEarly);
    ASSERT_TRUE(waitUntil([&] { return transfer() != nullptr; }));
    future.cancel();
    EXPECT_TRUE(waitUntil([&] { return !transfer(); }));
    server.releaseResponses();
}

// A future whose promise were finished by its cancel and again by the result would run its
// continuation twice, which crashes: the rounds run in a child, with a deadline. Each continuation
// is attached before its retrieval can end, since Qt 6.4 may itself run one twice that is attached
// while its promise finishes on another thread.
TEST_F(ManagerTest, AFutureWhoseCancelRacesItsResultAnswersItsContinuationOnce)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            alarm(120);
            std::mt19937 random(7);
            std::vector<std::shared_ptr<std::atomic<int>>> answers;
            for (int round = 0; round < 300; ++round) {
                const auto continued = answers.emplace_back(std::make_shared<std::atomic<int>>(0));
                const auto provider = std::make_shared<GatedProvider>();
                auto future = manager->retrieveImageAsync(Source::provider(provider), LumenOptionsInfo{Option::ForceRefresh{}});
                auto chained = future
                                   .then(QtFuture::Launch::Sync,
                                         [continued](const LumenManager::RetrieveResult&) { ++*continued; })
                                   .onCanceled([continued] { ++*continued; });
                std::jthread answering([&, delay = random() % 300] {
                    while (!provider->isAsked())
                        std::this_thread::sleep_for(std::chrono::microseconds(20));
                    std::this_thread::sleep_for(std::chrono::microseconds(delay));
                    provider->answer(redBytes);
                });
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 400));
                future.cancel();
                answering.join();
                if (!waitUntil([&] { return chained.isFinished(); }))
                    std::_Exit(2);
            }
            // A late second answer would come through the same queues.
            Tivrand::Testing::pumpEvents(std::chrono::milliseconds(200));
            std::_Exit(std::ranges::all_of(answers, [](const auto& count) { return *count == 1; }) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace Lumen::Testing
