#include "Lumen/retrieval/PropagationError.h"

namespace Lumen {

QString PropagationError::description() const
{
    return QStringLiteral("PropagationError(source: ") + source.description() + QStringLiteral(", error: ")
        + error.description() + QLatin1Char(')');
}

} // namespace Lumen
