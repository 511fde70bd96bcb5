#pragma once

#include "tests/lumen/download/DownloadTesting.h"

#include "Lumen/cache/ImageCache.h"
#include "Lumen/retrieval/ImageResource.h"
#include "Lumen/retrieval/LumenManager.h"

#include <QTemporaryDir>

#include <mutex>
#include <vector>

namespace Lumen::Testing {

// The completions of retrievals, collected from any thread.
class Retrievals {
public:
    LumenManager::CompletionHandler handler()
    {
        return [this](LumenManager::RetrieveResult result) {
            std::lock_guard lock(m_mutex);
            m_results.push_back(std::move(result));
        };
    }
    bool waitFor(std::size_t count)
    {
        return Tivrand::Testing::waitUntil([&] { return size() >= count; }, std::chrono::seconds(10));
    }
    std::size_t size() const
    {
        std::lock_guard lock(m_mutex);
        return m_results.size();
    }
    LumenManager::RetrieveResult at(std::size_t index) const
    {
        std::lock_guard lock(m_mutex);
        return m_results.at(index);
    }
    // The error code of a result, 0 for success.
    int codeAt(std::size_t index) const
    {
        const auto result = at(index);
        return result ? 0 : result.error().errorCode();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<LumenManager::RetrieveResult> m_results;
};

// Closes each connection, so the server stops without waiting for idle keep-alive ones.
inline void serveImage(httplib::Response& response, const QByteArray& bytes)
{
    response.set_header("Connection", "close");
    serveBytes(response, bytes);
}

// A manager over a downloader of its own and a cache in a temporary folder, and a loopback
// server with red and green PNGs and any status under "/status/<code>".
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

    Source source(const QString& path) const { return Source::network(LM::ImageResource(server.url(path))); }

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
};

inline QColor colorOf(const LumenManager::RetrieveResult& result)
{
    return result && result->image ? result->image->bitmap().pixelColor(0, 0) : QColor();
}

} // namespace Lumen::Testing
