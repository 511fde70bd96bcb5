#include "Lumen/download/AnyRedirectHandler.h"

#include <QPromise>

#include <atomic>

namespace Lumen {

QFuture<std::optional<URLRequest>> AnyRedirectHandler::handleHTTPRedirection(
    const std::shared_ptr<SessionDataTask>& task, const URLResponse& response, const URLRequest& newRequest) const
{
    struct Answer {
        QPromise<std::optional<URLRequest>> promise;
        std::atomic<bool> given{false};
    };
    const auto answer = std::make_shared<Answer>();
    answer->promise.start();
    auto future = answer->promise.future();
    m_block(task, response, newRequest, [answer](std::optional<URLRequest> request) {
        if (answer->given.exchange(true))
            return;
        answer->promise.addResult(std::move(request));
        answer->promise.finish();
    });
    return future;
}

} // namespace Lumen
