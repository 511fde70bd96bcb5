#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <optional>

namespace Lumen {

// The answer of a transfer as far as its headers: taken from the network reply when they
// arrive, so it can be read on any thread.
struct URLResponse {
    QUrl url;
    // The HTTP status code; absent for a response that is not HTTP.
    std::optional<int> statusCode;
    QList<QPair<QByteArray, QByteArray>> headers;
    // Bytes announced by the server; -1 when the length is unknown.
    qint64 expectedContentLength = -1;

    // "<URLResponse> { URL: <url> } { Status Code: <code>, Headers { Name: value; ... } }",
    // the status part only for HTTP responses.
    QString description() const;
};

} // namespace Lumen
