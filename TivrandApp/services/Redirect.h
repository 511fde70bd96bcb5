#pragma once

#include "TivrandApp/services/NetworkError.h"

#include <QByteArray>
#include <QNetworkRequest>
#include <QUrl>

#include <expected>

class QNetworkReply;

namespace Tivrand {

// A request as it goes out: enough to send it again where a redirect points.
struct OutgoingRequest {
    QNetworkRequest request;
    QByteArray method;
    QByteArray body;
};

// Redirects are followed within the request's origin only, so its headers (the bearer token
// among them) never reach another server, and at most this many in a row.
inline constexpr int maxRedirects = 5;

// Same scheme, host and port (a missing port being the scheme's default).
bool isSameOrigin(const QUrl& first, const QUrl& second);

// Where a finished reply redirects to, made absolute: a 301, 302, 303, 307 or 308 answer with a
// Location. Empty for any other reply.
QUrl redirectTarget(const QNetworkReply& reply);

// The request to send to `target` once `followed` redirects were followed, or the
// "NetworkManager" error that ends it instead. 307 and 308 repeat the method and body; the
// other redirects continue as a GET without body.
std::expected<OutgoingRequest, NetworkError> redirected(const OutgoingRequest& sent, const QUrl& target, int status,
                                                        int followed);

} // namespace Tivrand
