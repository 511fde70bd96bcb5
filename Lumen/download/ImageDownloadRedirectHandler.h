#pragma once

#include "Lumen/download/URLRequest.h"
#include "Lumen/download/URLResponse.h"

#include <QFuture>

#include <memory>
#include <optional>

namespace Lumen {

class SessionDataTask;

// Caller code that decides how an HTTP redirection of a download is followed.
class ImageDownloadRedirectHandler {
public:
    virtual ~ImageDownloadRedirectHandler() = default;

    // The request to follow the redirection with, or nothing to take the redirect response
    // itself as the answer. Only the first answer counts; none within the request's timeout
    // fails the transfer.
    virtual QFuture<std::optional<URLRequest>> handleHTTPRedirection(const std::shared_ptr<SessionDataTask>& task,
                                                                     const URLResponse& response,
                                                                     const URLRequest& newRequest) const = 0;
};

} // namespace Lumen
