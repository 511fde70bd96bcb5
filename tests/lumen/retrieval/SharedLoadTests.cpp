#include "tests/lumen/retrieval/RetrievalTesting.h"

#include "Lumen/download/SessionDelegate.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <random>
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

TEST_F(ManagerTest, EachCallerOfASharedLoadCancelsAloneAndTheLastOneCancelsItsTransfer)
{
    const LumenOptionsInfo items{Option::CallbackQueue{CallbackQueue::untouch()}};
    server.holdResponses("/image.png");
    // The caller that started the load leaves; the others keep it.
    const Source shared = source(QStringLiteral("/image.png?kept"));
    Retrievals leaving, staying;
    const auto leavingTask = manager->retrieveImage(shared, items, {}, {}, leaving.handler());
    for (int caller = 0; caller < 2; ++caller)
        ASSERT_NE(manager->retrieveImage(shared, items, {}, {}, staying.handler()), nullptr);
    ASSERT_TRUE(waitUntil([&] { return server.hits("/image.png") == 1; }));
    leavingTask->cancel();
    ASSERT_EQ(leaving.size(), 1u) << "answered at once";
    EXPECT_EQ(codeOf(leaving.at(0)), 1003);

    // Every caller leaves: the transfer goes.
    const Source abandoned = source(QStringLiteral("/image.png?abandoned"));
    Retrievals left;
    const auto first = manager->retrieveImage(abandoned, items, {}, {}, left.handler());
    const auto second = manager->retrieveImage(abandoned, items, {}, {}, left.handler());
    ASSERT_TRUE(waitUntil([&] { return downloader->sessionDelegate()->task(abandoned.url().value()) != nullptr; }));
    first->cancel();
    second->cancel();
    EXPECT_TRUE(waitUntil([&] { return !downloader->sessionDelegate()->task(abandoned.url().value()); }));
    ASSERT_EQ(left.size(), 2u);

    server.releaseResponses();
    ASSERT_TRUE(staying.waitFor(2));
    EXPECT_EQ(colorOf(staying.at(0)), QColor(Qt::red));
    EXPECT_EQ(colorOf(staying.at(1)), QColor(Qt::red));
    EXPECT_EQ(leaving.size(), 1u);
}

// A caller that fetches through its own downloader does not join a load made through another.
TEST_F(ManagerTest, ACallerWithItsOwnDownloaderLoadsThroughIt)
{
    const LumenOptionsInfo items{Option::CallbackQueue{CallbackQueue::untouch()}};
    const auto own = ImageDownloader::make(QStringLiteral("own"));
    const Source shared = source(QStringLiteral("/image.png?own"));
    server.holdResponses("/image.png");
    Retrievals done;
    manager->retrieveImage(shared, items, {}, {}, done.handler());
    manager->retrieveImage(shared, LumenOptionsInfo{Option::CallbackQueue{CallbackQueue::untouch()}, Option::Downloader{own}},
                           {}, {}, done.handler());
    EXPECT_TRUE(waitUntil([&] { return own->sessionDelegate()->task(shared.url().value()) != nullptr; }));
    server.releaseResponses();
    ASSERT_TRUE(done.waitFor(2));
    EXPECT_EQ(colorOf(done.at(1)), QColor(Qt::red));
}

// A load is shared only by callers that fetch the same URL, whatever key they cache under.
TEST_F(ManagerTest, CallersOfOneKeyShareALoadOnlyForTheSameURL)
{
    const LumenOptionsInfo items{Option::CallbackQueue{CallbackQueue::untouch()}};
    const struct {
        const char* path;
        QColor color;
        int code;
    } callers[] = {
        {"/image.png?one", Qt::red, 0},
        {"/other.png?one", Qt::green, 0},
        {"/other.png?one", Qt::green, 0},
        {"/status/403", QColor(), 2002},
    };
    server.holdResponses("/image.png");
    server.holdResponses("/other.png");
    Retrievals done[std::size(callers)];
    for (std::size_t index = 0; index < std::size(callers); ++index)
        manager->retrieveImage(Source::network(LM::ImageResource(server.url(QString::fromLatin1(callers[index].path)),
                                                                 QStringLiteral("one-key"))),
                               items, {}, {}, done[index].handler());
    ASSERT_TRUE(waitUntil([&] { return server.hits("/image.png") == 1 && server.hits("/other.png") == 1; }));
    server.releaseResponses();
    for (std::size_t index = 0; index < std::size(callers); ++index) {
        SCOPED_TRACE(callers[index].path);
        ASSERT_TRUE(done[index].waitFor(1));
        EXPECT_EQ(codeOf(done[index].at(0)), callers[index].code);
        EXPECT_EQ(colorOf(done[index].at(0)), callers[index].color);
    }
    EXPECT_EQ(server.hits("/image.png"), 1);
    EXPECT_EQ(server.hits("/other.png"), 1);
}

// Starts a retrieval of another entry from each look into memory for the watched key.
class RetrievingCache final : public ImageCache {
public:
    explicit RetrievingCache(const ImageCache& model)
        : ImageCache(Passkey{}, model.memoryStorage(), model.diskStorage())
    {
    }
    ImagePtr retrieveImageInMemoryCache(const QString& key, const LumenParsedOptionsInfo& options) override
    {
        if (key == watchedKey)
            onLook();
        return ImageCache::retrieveImageInMemoryCache(key, options);
    }

    QString watchedKey;
    std::function<void()> onLook;
};

TEST_F(ManagerTest, ACacheHookMayStartARetrievalWhileTheManagerLooksForItsEntry)
{
    const auto hooked = std::make_shared<RetrievingCache>(*cache);
    const LumenOptionsInfo items{Option::TargetCache{hooked}, Option::CallbackQueue{CallbackQueue::untouch()}};
    Retrievals done;
    int started = 0;
    hooked->watchedKey = red().cacheKey();
    hooked->onLook = [&] {
        ++started;
        manager->retrieveImage(source(QStringLiteral("/other.png")), items, {}, {}, done.handler());
    };
    manager->retrieveImage(red(), items, {}, {}, done.handler());
    ASSERT_TRUE(done.waitFor(1 + started));
    for (std::size_t index = 0; index < done.size(); ++index)
        EXPECT_EQ(codeOf(done.at(index)), 0) << index;
    EXPECT_EQ(server.hits("/other.png"), 1);
}

// Whatever the timing, one transfer per URL, and each retrieval answered once. Without cancels
// the server answers at once, so callers also arrive between a transfer's end and the store of
// its image; with cancels, every retrieval is made while the server holds its answers, then a
// tenth of them are cancelled at random while the loads end.
TEST_F(ManagerTest, AThousandRetrievalsOfEachOfAHundredURLsFromEightThreadsMakeAHundredTransfers)
{
    constexpr int urls = 100;
    constexpr int perURL = 1000;
    constexpr int threads = 8;
    const LumenOptionsInfo items{Option::CallbackQueue{CallbackQueue::untouch()}};
    for (const bool cancels : {false, true}) {
        SCOPED_TRACE(cancels ? "a tenth cancelled" : "none cancelled");
        const int hitsBefore = server.hits("/image.png");
        const auto answers = std::make_shared<std::vector<std::atomic<int>>>(urls * perURL);
        const auto failed = std::make_shared<std::vector<std::atomic<bool>>>(urls * perURL);
        std::vector<std::shared_ptr<DownloadTask>> tasks(urls * perURL);
        if (cancels)
            server.holdResponses("/image.png");
        const auto onEachThread = [&](const std::function<void(int retrieval, std::mt19937& random)>& work) {
            std::vector<std::jthread> workers;
            for (int thread = 0; thread < threads; ++thread)
                workers.emplace_back([&, thread] {
                    std::mt19937 random(thread);
                    for (int retrieval = thread; retrieval < urls * perURL; retrieval += threads)
                        work(retrieval, random);
                });
        };
        onEachThread([&](int retrieval, std::mt19937&) {
            const QString path = QStringLiteral("/image.png?cancels=%1&n=%2").arg(cancels).arg(retrieval % urls);
            tasks[retrieval] = manager->retrieveImage(
                source(path), items, {}, {}, [answers, failed, retrieval](const LumenManager::RetrieveResult& result) {
                    ++(*answers)[retrieval];
                    (*failed)[retrieval] = !result;
                });
        });
        // Bytes, not bits: threads write neighbouring entries.
        std::vector<char> cancelled(urls * perURL);
        if (cancels) {
            server.releaseResponses();
            onEachThread([&](int retrieval, std::mt19937& random) {
                if (random() % 10 == 0 && tasks[retrieval]) {
                    tasks[retrieval]->cancel();
                    cancelled[retrieval] = true;
                }
            });
        }
        const auto answeredOnce = [&] {
            return std::ranges::all_of(*answers, [](const std::atomic<int>& count) { return count == 1; });
        };
        ASSERT_TRUE(waitUntil(answeredOnce, std::chrono::seconds(120)));
        Tivrand::Testing::pumpEvents(std::chrono::milliseconds(100));
        EXPECT_TRUE(answeredOnce());
        for (int retrieval = 0; retrieval < urls * perURL; ++retrieval)
            ASSERT_TRUE(cancelled[retrieval] || !(*failed)[retrieval]) << retrieval;
        EXPECT_EQ(server.hits("/image.png") - hitsBefore, urls);
    }
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
