#pragma once

#include "Lumen/foundation/UnderlyingError.h"

#include <QLatin1StringView>

namespace Lumen {

// An error of one of the library's own error enumerations: domain "Lumen.<typeName>", the
// case's position as code, and a message for people.
UnderlyingError libraryError(QLatin1StringView typeName, qint64 code, QString message);

} // namespace Lumen
