#pragma once

#include "tests/lumen/download/DownloadTesting.h"
#include "tests/support/Collected.h"

#include "Lumen/cache/ImageCache.h"
#include "Lumen/download/RetryContext.h"
#include "Lumen/download/RetryStrategy.h"
#include "Lumen/retrieval/ImageDataProvider.h"
#include "Lumen/retrieval/ImageResource.h"
#include "Lumen/retrieval/LumenManager.h"
#include "Lumen/retrieval/RetrievalErrors.h"

#include <QColor>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace Lumen::Testing {

// The error code of a result, 0 for success.
inline int codeOf(const LumenManager::RetrieveResult& result)
{
    return result ? 0 : result.error().errorCode();
}

using Retrievals = Tivrand::Testing::Collected<LumenManager::RetrieveResult>;

// What the provider hands its handler, waited for with the event loop running. Not through
// `dataAsync`: a future released on a worker thread looks like a race to ThreadSanitizer, which
// cannot see Qt's own reference counting.
inline ImageDataProvider::Result dataOf(const ImageDataProvider& provider)
{
    // Shared with the handler, which may still be called after a wait that timed out.
    const auto answers = std::make_shared<Tivrand::Testing::Collected<ImageDataProvider::Result>>();
    provider.data([answers](ImageDataProvider::Result result) { answers->handler()(std::move(result)); });
    if (!answers->waitFor(1)) {
        ADD_FAILURE() << "the provider never answered";
        return std::unexpected(UnderlyingError(QStringLiteral("test"), 0, QStringLiteral("no answer")));
    }
    return answers->at(0);
}

// "domain code" of a failed answer, empty for bytes.
inline QString errorOf(const ImageDataProvider::Result& result)
{
    return result ? QString() : result.error().domain() + u' ' + QString::number(result.error().code());
}

inline QUrl writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return QUrl::fromLocalFile(path);
}

// A test's manager subclass, made as the library makes its managers.
template <class Derived>
class ManagerSubclass : public LumenManager {
public:
    using LumenManager::LumenManager;
    static std::shared_ptr<Derived> make(std::shared_ptr<ImageDownloader> downloader, std::shared_ptr<ImageCache> cache)
    {
        return std::make_shared<Derived>(Passkey{}, std::move(downloader), std::move(cache));
    }
};

// Answers from a script (`stop` once it runs out), recording the count and the error each
// decision saw; a held strategy keeps the handler until the test retries.
class ScriptedStrategy final : public RetryStrategy {
public:
    struct Asked {
        int retriedCount;
        LumenError error;
    };

    explicit ScriptedStrategy(std::vector<RetryDecision::Kind> script = {}, bool held = false)
        : m_script(std::move(script)), m_held(held) {}

    void retry(const std::shared_ptr<RetryContext>& context,
               std::function<void(const RetryDecision&)> retryHandler) const override
    {
        RetryDecision::Kind kind = RetryDecision::Kind::stop;
        {
            std::lock_guard lock(m_mutex);
            // A cancel's error holds its transfer, whose options hold this strategy: kept without it.
            const LumenError& error = context->error();
            m_asked.push_back({context->retriedCount(), error.isTaskCancelled() ? retrievalCancelledError() : error});
            if (m_held) {
                m_handler = std::move(retryHandler);
                return;
            }
            if (m_asked.size() <= m_script.size())
                kind = m_script[m_asked.size() - 1];
        }
        retryHandler(kind == RetryDecision::Kind::retry ? RetryDecision::retry() : RetryDecision::stop());
    }
    std::vector<Asked> asked() const
    {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }
    void retryHeld()
    {
        std::function<void(const RetryDecision&)> handler;
        {
            std::lock_guard lock(m_mutex);
            handler = std::exchange(m_handler, {});
        }
        handler(RetryDecision::retry());
    }

private:
    const std::vector<RetryDecision::Kind> m_script;
    const bool m_held;
    mutable std::mutex m_mutex;
    mutable std::vector<Asked> m_asked;
    mutable std::function<void(const RetryDecision&)> m_handler;
};

// Returns once every job queued on the cache's I/O queue so far has run, so no store of a
// test outlives it.
inline void drain(ImageCache& cache)
{
    const auto drained = std::make_shared<std::atomic<bool>>(false);
    cache.storeToDisk(QByteArray("x"), QStringLiteral("drain-marker"), QString(), std::nullopt,
                      StorageExpiration::expired(), CallbackQueue::untouch(),
                      [drained](const CacheStoreResult&) { *drained = true; });
    EXPECT_TRUE(Tivrand::Testing::waitUntil([&] { return drained->load(); }));
}

// Closes each connection, so the server stops without waiting for idle keep-alive ones.
inline void serveImage(httplib::Response& response, const QByteArray& bytes, const char* type = "image/png")
{
    response.set_header("Connection", "close");
    serveBytes(response, bytes, type);
}

// A manager over a downloader of its own and a cache in a temporary folder, and a loopback
// server with red and green PNGs and any status under "/status/<code>"; `red` is the red one.
class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.get("/image.png", [this](const auto&, auto& response) { serveImage(response, redBytes); });
        server.get("/other.png", [this](const auto&, auto& response) { serveImage(response, greenBytes); });
        server.get(R"(/status/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
            response.status = std::stoi(request.matches[1]);
            serveImage(response, {});
        });
        server.start();
        ASSERT_TRUE(folder.isValid());
        cache = *ImageCache::make(QStringLiteral("test"), folder.path());
        downloader = ImageDownloader::make(QStringLiteral("test"));
        manager = LumenManager::make(downloader, cache);
    }

    void TearDown() override
    {
        drain(*cache);
        // A job that ran a completion may still hold the cache for a moment. Its storage, whose
        // configuration shares the folder's path, is released here last, once nothing else
        // holds it, so that it ends on this thread before the folder goes.
        const auto storage = cache->diskStorage();
        const std::weak_ptr<ImageCache> released = cache;
        manager.reset();
        cache.reset();
        EXPECT_TRUE(Tivrand::Testing::waitUntil([&released] { return released.expired(); }));
        (void)storage->metaChangingQueue()->sync([] {});
        EXPECT_TRUE(Tivrand::Testing::waitUntil([&storage] { return storage.use_count() == 1; }));
    }

    Source source(const QString& path) const { return Source::network(LM::ImageResource(server.url(path))); }
    Source red() const { return source(QStringLiteral("/image.png")); }

    // One retrieval through the list form, waited for.
    LumenManager::RetrieveResult retrieve(const Source& from, LumenOptionsInfo items = {})
    {
        Retrievals done;
        manager->retrieveImage(from, items, {}, {}, done.handler());
        EXPECT_TRUE(done.waitFor(1));
        return done.size() ? done.at(0) : std::unexpected(LumenError(LumenError::RequestErrorReason::EmptyRequest{}));
    }

    const QByteArray redBytes = pngBytes({8, 8}, Qt::red);
    const QByteArray greenBytes = pngBytes({8, 8}, Qt::green);
    Tivrand::Testing::LoopbackServer server;
    QTemporaryDir folder;
    std::shared_ptr<ImageCache> cache;
    std::shared_ptr<ImageDownloader> downloader;
    std::shared_ptr<LumenManager> manager;
    const std::shared_ptr<CountingProcessor> processor = std::make_shared<CountingProcessor>(QStringLiteral("p"));
};

inline QColor colorOf(const LumenManager::RetrieveResult& result)
{
    return result && result->image ? result->image->bitmap().pixelColor(0, 0) : QColor();
}

// The live-photo fixtures: a 64 x 32 HEIC still in three bands (red 0-16, green 16-48, blue
// 48-64); a 3 s QuickTime movie of 64 x 32 yellow frames stored with a quarter turn; and hostile
// cuts and relabellings of both, a few tens of bytes each.
inline QUrl livePhotoFixture(const QString& name)
{
    return QUrl::fromLocalFile(QStringLiteral(TIVRAND_TEST_FIXTURES "/livephoto/") + name);
}

inline QByteArray livePhotoFixtureBytes(const QString& name)
{
    QFile file(livePhotoFixture(name).toLocalFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "/serve/<fixture>/<name>" answers the live-photo fixture's bytes whatever <name> is, and an
// HTML page for a name that is no fixture: a test picks the bytes and the URL's extension apart.
inline void serveLivePhotoFixtures(Tivrand::Testing::LoopbackServer& server)
{
    server.get(R"(/serve/([^/]+)/.*)", [](const httplib::Request& request, httplib::Response& response) {
        const QByteArray bytes = livePhotoFixtureBytes(QString::fromStdString(request.matches[1]));
        serveImage(response, bytes.isEmpty() ? QByteArrayLiteral("<html>gone</html>") : bytes,
                   "application/octet-stream");
    });
}

// 'R', 'G', 'B' or 'Y' for a clearly coloured pixel, '-' for anything else.
inline char colourName(QRgb pixel)
{
    const auto level = [](int channel) { return channel > 160 ? '1' : channel < 100 ? '0' : '?'; };
    const std::string levels{level(qRed(pixel)), level(qGreen(pixel)), level(qBlue(pixel))};
    for (const auto& [pattern, name] : {std::pair("100", 'R'), std::pair("010", 'G'), std::pair("001", 'B'),
                                        std::pair("110", 'Y')})
        if (levels == pattern)
            return name;
    return '-';
}

} // namespace Lumen::Testing
