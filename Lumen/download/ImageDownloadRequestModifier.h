#pragma once

#include "Lumen/download/AsyncImageDownloadRequestModifier.h"

namespace Lumen {

// A request modifier that answers at once. The downloader calls this form, on the calling
// thread, whenever a modifier offers it.
class ImageDownloadRequestModifier : public AsyncImageDownloadRequestModifier {
public:
    virtual std::optional<URLRequest> modifiedNow(const URLRequest& request) const = 0;

    // The same answer, as a finished future.
    QFuture<std::optional<URLRequest>> modified(const URLRequest& request) const override;
};

} // namespace Lumen
