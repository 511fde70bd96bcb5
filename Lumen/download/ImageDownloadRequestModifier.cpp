#include "Lumen/download/ImageDownloadRequestModifier.h"

namespace Lumen {

QFuture<std::optional<URLRequest>> ImageDownloadRequestModifier::modified(const URLRequest& request) const
{
    return QtFuture::makeReadyFuture(modifiedNow(request));
}

} // namespace Lumen
