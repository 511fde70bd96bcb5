#include "Lumen/download/AuthenticationChallengeResponsible.h"

#include "Lumen/download/ImageDownloader.h"

namespace Lumen {

namespace {

QFuture<AuthChallengeAnswer> defaultHandling()
{
    return QtFuture::makeReadyFuture(AuthChallengeAnswer{AuthChallengeDisposition::performDefaultHandling, std::nullopt});
}

} // namespace

QFuture<AuthChallengeAnswer> AuthenticationChallengeResponsible::didReceiveChallenge(
    ImageDownloader& downloader, const URLAuthenticationChallenge& challenge)
{
    const URLProtectionSpace& space = challenge.protectionSpace;
    if (space.authenticationMethod != AuthenticationMethod::serverTrust || !space.serverTrust)
        return defaultHandling();
    const auto trustedHosts = downloader.trustedHosts();
    if (!trustedHosts || !trustedHosts->contains(space.host))
        return defaultHandling();
    return QtFuture::makeReadyFuture(
        AuthChallengeAnswer{AuthChallengeDisposition::useCredential, URLCredential::forTrust(*space.serverTrust)});
}

QFuture<AuthChallengeAnswer> AuthenticationChallengeResponsible::didReceiveTaskChallenge(
    ImageDownloader&, const std::shared_ptr<URLSessionDataTask>&, const URLAuthenticationChallenge&)
{
    return defaultHandling();
}

} // namespace Lumen
