#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QPair>
#include <QUrl>

#include <optional>

namespace Lumen {

// The request of one transfer, as the downloader builds it and its hooks may change it. A
// plain value; `networkRequest()` gives what the network stack sends.
struct URLRequest {
    enum class CachePolicy {
        useProtocolCachePolicy,
        // The local cache is never read, so every request reaches the server.
        reloadIgnoringLocalCacheData,
    };

    URLRequest() = default;
    explicit URLRequest(QUrl url, CachePolicy cachePolicy = CachePolicy::useProtocolCachePolicy,
                        double timeoutInterval = 60.0);

    QUrl url;
    CachePolicy cachePolicy = CachePolicy::useProtocolCachePolicy;
    // Seconds without any progress after which the transfer fails.
    double timeoutInterval = 60.0;
    bool httpShouldUsePipelining = false;
    // False keeps the request off a network in low-data mode: it then fails instead.
    bool allowsConstrainedNetworkAccess = true;
    QList<QPair<QByteArray, QByteArray>> allHTTPHeaderFields;

    // Header names compare without regard to letter case.
    std::optional<QByteArray> valueForHTTPHeaderField(const QByteArray& field) const;
    // Replaces the field's value, or adds the field; an absent value removes it.
    void setValue(const std::optional<QByteArray>& value, const QByteArray& field);

    // The timeout in whole milliseconds; 0 (no timeout) for a value that is not a positive number.
    int timeoutMilliseconds() const;

    // Redirects are left to the session, so it can ask before following one.
    QNetworkRequest networkRequest() const;

    bool operator==(const URLRequest&) const = default;
};

} // namespace Lumen
