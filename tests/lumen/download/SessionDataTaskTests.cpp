#include "Lumen/download/SessionDataTask.h"

#include "Lumen/download/CancellationDownloadTask.h"
#include "Lumen/download/DownloadTask.h"
#include "Lumen/download/ImageDataProcessor.h"
#include "Lumen/download/Session.h"
#include "Lumen/download/SessionDelegate.h"
#include "Lumen/download/SessionTaskTable.h"
#include "Lumen/download/SharedDownload.h"
#include "Lumen/download/URLSessionDataTask.h"
#include "tests/lumen/download/DownloadTesting.h"

#include <atomic>
#include <barrier>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace Lumen::Testing {
namespace {

SessionDataTask::TaskCallback callback()
{
    return SessionDataTask::TaskCallback{nullptr, LumenParsedOptionsInfo()};
}

// A cancel made before the link or before the holder got its task must still be reported.
TEST(SessionDataTask, TokensAreNeverReusedAndEachWithdrawalEvenAnEarlyCancelIsReportedOnce)
{
    const auto task = std::make_shared<SessionDataTask>();
    std::vector<std::int64_t> cancelled;
    task->onCallbackCancelled().setBlock([&](const auto& withdrawn) { cancelled.push_back(withdrawn.token); });
    task->addCallback(callback());
    task->addCallback(callback());
    task->cancel(0);
    task->cancel(0);
    task->cancel(7);
    const auto linked = DownloadTask::make();
    linked->cancel();
    linked->linkToTask(*DownloadTask::make(task, *task->addCallback(callback())));
    CancellationDownloadTask holder;
    holder.cancel();
    holder.setTask(DownloadTask::make(task, *task->addCallback(callback())));
    task->forceCancel();
    EXPECT_EQ(cancelled, (std::vector<std::int64_t>{0, 2, 3, 1}));

    // The last withdrawal closed the task: no joiner, no start.
    EXPECT_EQ(task->addCallback(callback()), std::nullopt);
    task->resume();
    EXPECT_FALSE(task->isStarted());
}

// A shared download that records whom it was asked to withdraw.
class RecordingSharedDownload final : public SharedDownload {
public:
    void withdraw(std::uint64_t caller) override { withdrawn.push_back(caller); }
    std::shared_ptr<DownloadTask> transfer() const override { return known; }

    std::vector<std::uint64_t> withdrawn;
    std::shared_ptr<DownloadTask> known;
};

TEST(DownloadTask, AHandleOnASharedDownloadHasATokenOfItsOwnAndWithdrawsItsCallerAlone)
{
    const auto shared = std::make_shared<RecordingSharedDownload>();
    const auto first = DownloadTask::make(shared, 0);
    const auto second = DownloadTask::make(shared, 1);
    ASSERT_TRUE(first->cancelToken() && second->cancelToken());
    EXPECT_NE(first->cancelToken(), second->cancelToken());
    // Initialised once the shared download's transfer is known.
    EXPECT_FALSE(first->isInitialized());
    const auto sessionTask = std::make_shared<SessionDataTask>();
    int cancelled = 0;
    sessionTask->onCallbackCancelled().setBlock([&](const auto&) { ++cancelled; });
    shared->known = DownloadTask::make(sessionTask, *sessionTask->addCallback(callback()));
    EXPECT_TRUE(first->isInitialized());
    EXPECT_EQ(first->sessionTask(), sessionTask);
    // The token names none of the transfer's own callers.
    sessionTask->cancel(*first->cancelToken());
    first->cancel();
    // A task linked to a handle stands for the same caller, a cancel it got before included.
    const auto linked = DownloadTask::make();
    linked->cancel();
    linked->linkToTask(*second);
    EXPECT_TRUE(linked->isInitialized());
    EXPECT_EQ(linked->sessionTask(), sessionTask);
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(shared->withdrawn, (std::vector<std::uint64_t>{0, 1}));
}

// The table against a real session whose transfers are never resumed.
class SessionTaskTableTest : public ::testing::Test {
protected:
    void TearDown() override { endSession(session); }

    std::shared_ptr<URLSessionDataTask> transfer(const QUrl& url) { return session->dataTask(URLRequest(url)); }

    const std::shared_ptr<SessionDelegate> delegate = SessionDelegate::make();
    std::shared_ptr<Session> session = Session::make(URLSessionConfiguration::ephemeral(), delegate);
    const QUrl url{QStringLiteral("http://127.0.0.1:1/a.png")};
};

TEST_F(SessionTaskTableTest, FirstCallersRacingForOneURLRegisterOneTaskAndAllJoinIt)
{
    constexpr int callers = 8;
    std::barrier start(callers);
    std::atomic<int> made{0};
    std::vector<std::jthread> threads;
    for (int i = 0; i < callers; ++i)
        threads.emplace_back([&] {
            start.arrive_and_wait();
            delegate->add(url, callback(), [&] { return transfer(url); }, [&](SessionDataTask&) { ++made; });
        });
    threads.clear();
    EXPECT_EQ(made, 1);
    EXPECT_EQ(delegate->task(url)->callbacks().size(), std::size_t(callers));
}

TEST_F(SessionTaskTableTest, AnEndedTaskRemovesOnlyItselfAndAJoinerStartsAfresh)
{
    const auto noHook = [](SessionDataTask&) {};
    const auto first = delegate->add(url, callback(), [&] { return transfer(url); }, noHook);
    first.task->cancel(first.token);

    const auto second = delegate->add(url, callback(), [&] { return transfer(url); }, noHook);
    EXPECT_EQ(second.token, SessionDataTask::firstToken);
    // The first task's late completion finds no entry of its own and leaves the second one.
    delegate->didCompleteWithError(first.task->task(), std::nullopt);
    first.task->forceCancel();
    EXPECT_EQ(delegate->task(url), second.task);
}

TEST_F(SessionTaskTableTest, ALateCompletionFromAReplacedSessionLeavesTheTaskItsReplacementMadeForTheURL)
{
    const auto noHook = [](SessionDataTask&) {};
    const auto first = delegate->add(url, callback(), [&] { return transfer(url); }, noHook);
    first.task->cancel(first.token);
    // As a downloader given a new configuration: a new session, the same delegate.
    auto replacement = Session::make(URLSessionConfiguration::ephemeral(), delegate);
    const auto second = delegate->add(url, callback(), [&] { return replacement->dataTask(URLRequest(url)); }, noHook);
    delegate->didCompleteWithError(first.task->task(), std::nullopt);
    EXPECT_EQ(delegate->task(url), second.task);
    EXPECT_FALSE(second.task->isClosed());
    // The fixture ends the replacement; the first session ends here.
    std::swap(session, replacement);
    replacement->invalidateAndCancel();
}

TEST_F(SessionTaskTableTest, RemovedCallersHearNothingAndTheirTransferRunsOn)
{
    int reports = 0;
    const auto add = [&] {
        return delegate->add(url, callback(), [&] { return transfer(url); }, [&](SessionDataTask& task) {
            task.onTaskDone().setBlock([&](const auto&) { ++reports; });
        });
    };
    const auto first = add();
    const auto joined = add();
    EXPECT_TRUE(first.task->removeCallback(first.token));
    EXPECT_FALSE(first.task->removeCallback(first.token));
    EXPECT_TRUE(first.task->removeCallback(joined.token));
    // With nobody left the transfer stays registered, open to joiners and not cancelled.
    EXPECT_EQ(add().task, first.task);
    first.task->removeAllCallbacks();
    EXPECT_FALSE(first.task->containsCallbacks());
    EXPECT_FALSE(first.task->isClosed());
    EXPECT_EQ(delegate->task(url), first.task);
    EXPECT_EQ(first.task->task()->state(), URLSessionDataTask::State::suspended);
    EXPECT_EQ(reports, 0);
}

TEST_F(SessionTaskTableTest, ATransferEndingWithoutAResponseFailsItsCallers)
{
    std::optional<int> reported;
    const auto registration = delegate->add(
        url, callback(), [&] { return transfer(url); },
        [&](SessionDataTask& task) {
            task.onTaskDone().setBlock([&](const auto& done) { reported = done.result.error().errorCode(); });
        });
    delegate->didCompleteWithError(registration.task->task(), std::nullopt);
    EXPECT_EQ(reported, 2005);
}

// A caller's state whose end asks the downloader for another image, as a view's may.
struct DownloadsWhenReleased {
    ~DownloadsWhenReleased() { downloader->downloadImage(url, optionsWith(), std::move(handler)); }
    std::shared_ptr<ImageDownloader> downloader;
    QUrl url;
    ImageDownloader::CompletionHandler handler;
};

TEST_F(DownloaderTest, CallersTakenOutLeaveTheTransferToEndNormallyAndTheirClosuresGoAfterTheSessionsLocks)
{
    Tivrand::Testing::LoopbackServer server;
    server.get(R"(/\w+\.png)", [](const auto&, auto& response) { serveBytes(response, pngBytes()); });
    server.start();
    server.holdResponses("held.png");
    auto releasing = std::make_shared<DownloadsWhenReleased>(downloader, server.url(QStringLiteral("/next.png")),
                                                             outcomes.handler());
    const auto held = downloader->downloadImage(server.url(QStringLiteral("/held.png")), optionsWith(),
                                                [releasing](const auto&) {});
    releasing.reset();
    ASSERT_TRUE(Tivrand::Testing::waitUntil([&] { return server.hits("/held.png") == 1; }));
    // The store holds the last reference to the closure.
    const auto sessionTask = held->sessionTask();
    sessionTask->removeAllCallbacks();
    ASSERT_TRUE(outcomes.waitFor(1));
    EXPECT_EQ(errorCode(*outcomes.at(0)), 0);
    // Not cancelled: the response comes and the transfer completes.
    server.releaseResponses();
    EXPECT_TRUE(Tivrand::Testing::waitUntil([&] {
        return sessionTask->task()->state() == URLSessionDataTask::State::completed && sessionTask->response();
    }));
}

// Runs the processor on the calling thread and answers each caller's result in order.
std::vector<ImageDataProcessor::Result> processNow(const QByteArray& data,
                                                    const std::vector<LumenParsedOptionsInfo>& callers)
{
    std::vector<SessionDataTask::TaskCallback> callbacks;
    for (const auto& options : callers)
        callbacks.push_back({nullptr, options});
    const auto processor = ImageDataProcessor::make(data, QUrl(), callbacks, CallbackQueue::untouch());
    std::vector<ImageDataProcessor::Result> results;
    processor->onImageProcessed().setBlock([&](const auto& processed) { results.push_back(processed.result); });
    processor->process();
    return results;
}

TEST(ImageDataProcessor, CallersShareAnImageOnlyWhenTheirDecodingAgrees)
{
    const auto a = std::make_shared<CountingProcessor>(QStringLiteral("A"));
    const auto b = std::make_shared<CountingProcessor>(QStringLiteral("B"));
    auto doubled = optionsWith(a);
    doubled.scaleFactor = 2;
    auto firstFrame = optionsWith(a);
    firstFrame.onlyLoadFirstFrame = true;
    auto decoded = optionsWith(a);
    decoded.backgroundDecode = true;
    const auto results =
        processNow(pngBytes(), {optionsWith(a), optionsWith(b), optionsWith(a), doubled, firstFrame, decoded});
    ASSERT_EQ(results.size(), 6u);
    EXPECT_EQ(a->runs, 3);
    EXPECT_EQ(results[0]->get(), results[2]->get());
    for (std::size_t other : {1, 3, 4, 5})
        EXPECT_NE(results[0]->get(), results[other]->get()) << other;
}

TEST(ImageDataProcessor, AFailedProcessorRunsAgainForTheNextCallerAndEachFails)
{
    const auto a = std::make_shared<CountingProcessor>(QStringLiteral("A"));
    const auto results = processNow(QByteArray("not an image"), {optionsWith(a), optionsWith(a)});
    EXPECT_EQ(a->runs, 2);
    for (const auto& result : results)
        EXPECT_EQ(result.error().errorCode(), 4001);
    EXPECT_TRUE(processNow(pngBytes(), {}).empty());
}

// Decodes only once the other transfer's processing has started too (or after a bounded wait).
class RendezvousProcessor final : public ImageProcessor {
public:
    QString identifier() const override { return QStringLiteral("rendezvous"); }
    ImagePtr process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const override
    {
        std::unique_lock lock(m_mutex);
        ++m_arrived;
        m_arrival.notify_all();
        met += m_arrival.wait_for(lock, std::chrono::seconds(5), [this] { return m_arrived >= 2; });
        return DefaultImageProcessor::shared()->process(item, options);
    }
    mutable std::atomic<int> met{0};

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrival;
    mutable int m_arrived = 0;
};

TEST(ImageDataProcessor, TransfersAreProcessedSideBySideEachAnsweringInJoinOrder)
{
    const auto rendezvous = std::make_shared<RendezvousProcessor>();
    const std::vector<LumenParsedOptionsInfo> joined{optionsWith(rendezvous),
        optionsWith(std::make_shared<CountingProcessor>(QStringLiteral("A"))),
        optionsWith(std::make_shared<CountingProcessor>(QStringLiteral("B")))};
    std::mutex mutex;
    std::vector<QString> answered[2];
    for (auto& order : answered) {
        std::vector<SessionDataTask::TaskCallback> callbacks;
        for (const auto& options : joined)
            callbacks.push_back({nullptr, options});
        const auto processor = ImageDataProcessor::make(pngBytes(), QUrl(), callbacks);
        processor->onImageProcessed().setBlock([&mutex, &order](const auto& processed) {
            std::lock_guard lock(mutex);
            order.push_back(processed.callback.options.processor->identifier());
        });
        processor->process();
    }
    const auto allAnswered = [&] {
        std::lock_guard lock(mutex);
        return answered[0].size() == 3 && answered[1].size() == 3;
    };
    ASSERT_TRUE(Tivrand::Testing::waitUntil(allAnswered, std::chrono::seconds(15)));
    EXPECT_EQ(rendezvous->met, 2);
    const std::vector<QString> joinOrder{QStringLiteral("rendezvous"), QStringLiteral("A"), QStringLiteral("B")};
    for (const auto& order : answered)
        EXPECT_EQ(order, joinOrder);
}

} // namespace
} // namespace Lumen::Testing
