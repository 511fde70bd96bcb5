#pragma once

#include "tests/support/LoopbackServer.h"

#include <QFile>
#include <QString>

namespace Lumen::Testing {

inline QString livePhotoFixturePath(const QString& name)
{
    return QStringLiteral(TIVRAND_TEST_FIXTURES "/livephoto/") + name;
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

} // namespace Lumen::Testing
