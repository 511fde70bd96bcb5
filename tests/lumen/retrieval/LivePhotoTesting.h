#pragma once

#include "tests/support/LoopbackServer.h"

#include <QColor>
#include <QFile>
#include <QString>
#include <QUrl>

#include <string>
#include <utility>

namespace Lumen::Testing {

// The fixtures: a 64 x 32 HEIC still in three bands (red 0-16, green 16-48, blue 48-64); a
// 3 s QuickTime movie of 64 x 32 yellow frames stored with a quarter turn; and hostile cuts
// and relabellings of both, a few tens of bytes each.
inline QString livePhotoFixturePath(const QString& name)
{
    return QStringLiteral(TIVRAND_TEST_FIXTURES "/livephoto/") + name;
}

inline QUrl livePhotoFixture(const char* name)
{
    return QUrl::fromLocalFile(livePhotoFixturePath(QLatin1String(name)));
}

inline QByteArray livePhotoFixtureBytes(const QString& name)
{
    QFile file(livePhotoFixturePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "/serve/<fixture>/<name>" answers the live-photo fixture's bytes whatever <name> is, and an
// HTML page for a name that is no fixture: a test picks the bytes and the URL's extension apart.
inline void serveLivePhotoFixtures(Tivrand::Testing::LoopbackServer& server)
{
    server.get(R"(/serve/([^/]+)/.*)", [](const httplib::Request& request, httplib::Response& response) {
        const QString name = QString::fromStdString(request.matches[1]);
        QByteArray bytes = livePhotoFixtureBytes(name);
        if (bytes.isEmpty())
            bytes = QByteArrayLiteral("<html>gone</html>");
        response.set_header("Connection", "close");
        response.set_content(bytes.toStdString(), "application/octet-stream");
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
