#pragma once

#include "Lumen/download/URLRequest.h"

#include <QFuture>

#include <functional>
#include <memory>
#include <optional>

namespace Lumen {

class DownloadTask;

// Caller code that may rewrite, or veto, a download request before the transfer starts.
class AsyncImageDownloadRequestModifier {
public:
    virtual ~AsyncImageDownloadRequestModifier() = default;

    // The request to send, or nothing to cancel the download before it starts. Only the first
    // answer counts; none within the request's timeout fails the download.
    virtual QFuture<std::optional<URLRequest>> modified(const URLRequest& request) const = 0;

    // Called with the caller's download task once its transfer is registered; may be empty.
    virtual std::function<void(std::shared_ptr<DownloadTask>)> onDownloadTaskStarted() const = 0;
};

} // namespace Lumen
