#pragma once

#include "TivrandApp/services/NetworkError.h"

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

#include <expected>
#include <utility>

namespace Tivrand {

enum class HttpMethod { get, post };

QByteArray verb(HttpMethod method);

// The port an http or https URL means when it names none.
int defaultPort(const QUrl& url);

// A request the program can send: where, how and with what.
class Endpoint {
public:
    virtual ~Endpoint() = default;

    // An http or https URL with a host; its own path, if any, is kept before path().
    virtual QUrl baseUrl() const = 0;
    // Already percent-encoded, starting with "/".
    virtual QString path() const = 0;
    virtual HttpMethod method() const = 0;
    // Query items in order; keys and values are plain text, encoded when the URL is built.
    virtual QList<std::pair<QString, QString>> parameters() const = 0;
    // Empty for none.
    virtual QByteArray body() const = 0;
    virtual QList<std::pair<QByteArray, QByteArray>> headers() const = 0;

    // The URL and headers as they go out. Every reserved character of a query key or value is
    // percent-encoded ("+", "&", "#", "=", spaces, non-ASCII as UTF-8), so the server reads back
    // exactly the text given. An unusable base URL is an "Endpoint" error.
    std::expected<QNetworkRequest, NetworkError> makeRequest() const;
};

} // namespace Tivrand
