#pragma once

#include "Lumen/foundation/UnderlyingError.h"

#include <QString>
#include <QUrl>

// The network errors a `Session` reports for what it decides itself.
namespace Lumen::SessionErrors {

UnderlyingError cancelled();
// An answer (`what`) the session waited for did not come within the request's timeout.
UnderlyingError answerTimedOut(const QString& what);
UnderlyingError bodyTooLarge(qint64 limit);
UnderlyingError redirectNotHTTP(const QUrl& target);
UnderlyingError tooManyRedirects(int limit);
UnderlyingError networkConstrained();

} // namespace Lumen::SessionErrors
