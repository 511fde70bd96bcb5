#include "Lumen/retrieval/LivePhotoError.h"

namespace Lumen {

UnderlyingError LivePhotoError::underlyingError() const
{
    return UnderlyingError(QString::fromLatin1(domain), static_cast<qint64>(code), message);
}

} // namespace Lumen
