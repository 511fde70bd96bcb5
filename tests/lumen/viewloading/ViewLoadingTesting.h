#pragma once

#include "tests/lumen/retrieval/RetrievalTesting.h"

#include "Lumen/retrieval/ImageResource.h"
#include "Lumen/views/loading/ImageRequest.h"
#include "Lumen/views/loading/SourceArgument.h"

#include <QIcon>

#include <atomic>
#include <memory>

namespace Lumen::Testing {

using Completions = Retrievals;

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
    return Tivrand::Testing::solidImage({8, 8}, color);
}

// A loopback server with red and green PNGs, "/slow.png" (red, held while `holdSlow()`), a 404
// under "/missing.png" and the live-photo fixtures. Every URL is new to the caches.
class ViewLoadingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const auto& [path, bytes] : {std::pair("/red.png", &redBytes), std::pair("/green.png", &greenBytes),
                                           std::pair("/slow.png", &redBytes)}) {
            server.get(path, [bytes](const auto&, auto& response) { serveImage(response, *bytes); });
        }
        server.get("/missing.png", [](const auto&, auto& response) {
            response.set_header("Connection", "close");
            response.status = 404;
        });
        serveLivePhotoFixtures(server);
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
