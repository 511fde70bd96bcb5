#pragma once

#include "tests/lumen/download/DownloadTesting.h"

#include "Lumen/retrieval/ImageResource.h"
#include "Lumen/views/loading/ImageRequest.h"
#include "Lumen/views/loading/SourceArgument.h"

#include <QIcon>

#include <atomic>
#include <memory>

namespace Lumen::Testing {

// The handler calls of one load, GUI thread.
class Completions {
public:
    ImageSettingCompletion handler()
    {
        return [this](LumenManager::RetrieveResult result) { results.push_back(std::move(result)); };
    }
    bool waitFor(std::size_t count = 1)
    {
        return Tivrand::Testing::waitUntil([&] { return results.size() >= count; }, std::chrono::seconds(10));
    }
    const LumenError& error() const { return results.at(0).error(); }

    std::vector<LumenManager::RetrieveResult> results;
};

// What an icon shows in its middle; invalid for nothing (no icon, a transparent one).
inline QColor colorOf(const QPixmap& pixmap)
{
    if (pixmap.isNull())
        return {};
    const QColor color = pixmap.toImage().pixelColor(pixmap.width() / 2, pixmap.height() / 2);
    return color.alpha() == 0 ? QColor() : color;
}

inline QColor colorOf(const QIcon& icon, QIcon::State state = QIcon::Off)
{
    return icon.isNull() ? QColor() : colorOf(icon.pixmap(QSize(8, 8), QIcon::Normal, state));
}

inline ImagePtr imageOf(QColor color)
{
    QImage bitmap(8, 8, QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(color);
    return Image::make(bitmap);
}

// A loopback server with red and green PNGs, "/slow.png" (red, held while `holdSlow()`) and
// a 404 under "/missing.png". Every URL is new to the caches.
class ViewLoadingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const auto& [path, bytes] : {std::pair("/red.png", &redBytes), std::pair("/green.png", &greenBytes),
                                           std::pair("/slow.png", &redBytes)}) {
            server.get(path, [bytes](const auto&, auto& response) {
                response.set_header("Connection", "close");
                serveBytes(response, *bytes);
            });
        }
        server.get("/missing.png", [](const auto&, auto& response) {
            response.set_header("Connection", "close");
            response.status = 404;
        });
        server.start();
        // A downloader of the test's own, released while the application still runs.
        manager->setDownloader(ImageDownloader::make(QStringLiteral("viewloading")));
    }
    void TearDown() override
    {
        server.releaseResponses();
        manager->setDownloader(defaultDownloader);
    }

    void holdSlow() { server.holdResponses("slow.png"); }
    Source source(const char* path)
    {
        static std::atomic<int> counter{0};
        const QString query = QStringLiteral("?n=") + QString::number(++counter);
        return Source::network(LM::ImageResource(server.url(QString::fromLatin1(path) + query)));
    }

    const QByteArray redBytes = pngBytes({8, 8}, Qt::red);
    const QByteArray greenBytes = pngBytes({8, 8}, Qt::green);
    Tivrand::Testing::LoopbackServer server;
    const std::shared_ptr<LumenManager>& manager = LumenManager::shared();
    const std::shared_ptr<ImageDownloader> defaultDownloader = manager->downloader();
};

} // namespace Lumen::Testing
