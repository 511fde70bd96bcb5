#pragma once

#include "Lumen/download/URLResponse.h"
#include "Lumen/foundation/UnderlyingError.h"

#include <QUrl>

#include <optional>

class QNetworkReply;

// What a network reply says, read the way the session judges it.
namespace Lumen::NetworkReplyFacts {

URLResponse responseOf(const QNetworkReply& reply);

// Where a redirect status points; none for another status or a missing or unusable
// `Location`, which make the reply a final response.
std::optional<QUrl> redirectTarget(const QNetworkReply& reply);

// Whether the body is framed by an announced length and comes as sent (HTTP/1, neither chunked
// nor coded), so Qt reads no more of it than that length.
bool isBodyFramedByLength(const QNetworkReply& reply);

// The failure of a finished reply. Qt reports HTTP statuses of 400 and above as errors too;
// those are answers for the response checks, not failures.
std::optional<UnderlyingError> failureOf(const QNetworkReply& reply);

} // namespace Lumen::NetworkReplyFacts
