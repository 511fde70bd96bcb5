#pragma once

#include "Lumen/download/URLResponse.h"

#include <QFuture>
#include <QNetworkRequest>

#include <memory>
#include <optional>

namespace Lumen {

class SessionDataTask;

// Caller code that decides how an HTTP redirection of a download is followed.
class ImageDownloadRedirectHandler {
public:
    virtual ~ImageDownloadRedirectHandler() = default;

    // The request to follow the redirection with, or nothing to not follow it.
    virtual QFuture<std::optional<QNetworkRequest>> handleHTTPRedirection(
        const std::shared_ptr<SessionDataTask>& task, const URLResponse& response,
        const QNetworkRequest& newRequest) const = 0;
};

} // namespace Lumen
