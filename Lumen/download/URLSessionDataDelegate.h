#pragma once

#include "Lumen/download/URLAuthenticationChallenge.h"
#include "Lumen/download/URLRequest.h"
#include "Lumen/download/URLResponse.h"
#include "Lumen/foundation/UnderlyingError.h"

#include <QByteArray>

#include <functional>
#include <memory>
#include <optional>

namespace Lumen {

class URLSessionDataTask;

// What a `Session` tells about its transfers. Calls come on the session's thread, except that
// a task completed after its session ended is reported on the thread that resumed or
// cancelled it. Completion handlers may be called later and on any thread; only their first
// call counts, and one that never comes fails the transfer after the request's timeout.
class URLSessionDataDelegate {
public:
    using ResponseCompletion = std::function<void(ResponseDisposition)>;
    using ChallengeCompletion = std::function<void(AuthChallengeAnswer)>;
    using RedirectCompletion = std::function<void(std::optional<URLRequest>)>;

    virtual ~URLSessionDataDelegate() = default;

    // Data is held back until the answer allows it; `cancel` ends the transfer as cancelled.
    virtual void didReceiveResponse(const std::shared_ptr<URLSessionDataTask>& task, const URLResponse& response,
                                    ResponseCompletion completionHandler) = 0;
    virtual void didReceiveData(const std::shared_ptr<URLSessionDataTask>& task, const QByteArray& data) = 0;
    // Exactly once per task; no error means success.
    virtual void didCompleteWithError(const std::shared_ptr<URLSessionDataTask>& task,
                                      const std::optional<UnderlyingError>& error) = 0;
    // A server whose certificate did not pass the default evaluation. The session's thread
    // waits for the answer, so it must not come from a job queued on that thread.
    virtual void didReceiveChallenge(const URLAuthenticationChallenge& challenge,
                                     ChallengeCompletion completionHandler) = 0;
    // HTTP authentication asked for by a server; the session's thread waits as above.
    virtual void didReceiveTaskChallenge(const std::shared_ptr<URLSessionDataTask>& task,
                                         const URLAuthenticationChallenge& challenge,
                                         ChallengeCompletion completionHandler) = 0;
    // A redirect: the request to follow it with, or nothing to take the redirect response
    // itself as the transfer's response.
    virtual void willPerformHTTPRedirection(const std::shared_ptr<URLSessionDataTask>& task,
                                            const URLResponse& response, const URLRequest& newRequest,
                                            RedirectCompletion completionHandler) = 0;
};

} // namespace Lumen
