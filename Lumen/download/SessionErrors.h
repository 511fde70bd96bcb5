#pragma once

#include "Lumen/foundation/UnderlyingError.h"

#include <QString>
#include <QUrl>

// The network errors a `Session` reports for what it decides itself.
namespace Lumen::SessionErrors {

UnderlyingError cancelled();
// An answer (`what`) the session waited for, about the request to `url`, did not come within
// the request's timeout.
UnderlyingError answerTimedOut(const QString& what, const QUrl& url);
// Nothing arrived from `url` for `seconds`.
UnderlyingError timedOut(const QUrl& url, double seconds);
UnderlyingError unsupportedScheme(const QUrl& url);
UnderlyingError undecodableBody(const QUrl& url, const QString& reason);
UnderlyingError bodyTooLarge(const QUrl& url, qint64 limit);
// The body from `url` does not fit in what the session may hold for all its bodies at once.
UnderlyingError bodyBudgetExceeded(const QUrl& url, qint64 budget);
// The transfer of `url` did not finish within its deadline of `seconds` on the wire.
UnderlyingError deadlineExceeded(const QUrl& url, double seconds);
// The transfer of `url` moved fewer than `bytesPerSecond` bytes a second for `seconds` while
// other transfers waited for its connection.
UnderlyingError tooSlow(const QUrl& url, qint64 bytesPerSecond, double seconds);
UnderlyingError redirectNotHTTP(const QUrl& target);
// `url` is where the chain of redirects began.
UnderlyingError tooManyRedirects(const QUrl& url, int limit);
UnderlyingError networkConstrained();

} // namespace Lumen::SessionErrors
