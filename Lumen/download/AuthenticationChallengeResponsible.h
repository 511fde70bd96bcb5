#pragma once

#include "Lumen/download/URLAuthenticationChallenge.h"

#include <QFuture>

#include <memory>

namespace Lumen {

class ImageDownloader;
class URLSessionDataTask;

// Answers a downloader's authentication challenges. The defaults trust the servers of the
// downloader's trusted hosts and leave everything else to the default handling; the
// downloader adopts this interface itself and answers with them until another responder is
// set. Answers must not wait for work queued on the session's thread, which waits for them.
class AuthenticationChallengeResponsible {
public:
    virtual ~AuthenticationChallengeResponsible() = default;

    // A server whose certificate did not pass the default evaluation.
    virtual QFuture<AuthChallengeAnswer> didReceiveChallenge(ImageDownloader& downloader,
                                                             const URLAuthenticationChallenge& challenge);
    // HTTP authentication for one transfer.
    virtual QFuture<AuthChallengeAnswer> didReceiveTaskChallenge(ImageDownloader& downloader,
                                                                 const std::shared_ptr<URLSessionDataTask>& task,
                                                                 const URLAuthenticationChallenge& challenge);
};

} // namespace Lumen
