#include "Lumen/retrieval/ProviderError.h"

namespace Lumen {

UnderlyingError libraryError(QLatin1StringView typeName, qint64 code, QString message)
{
    return UnderlyingError(QStringLiteral("Lumen.") + typeName, code, std::move(message));
}

} // namespace Lumen
