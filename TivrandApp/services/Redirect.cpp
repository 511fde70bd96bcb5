#include "TivrandApp/services/Redirect.h"

#include "TivrandApp/services/Endpoint.h"

#include <QNetworkReply>

namespace Tivrand {
namespace {

using namespace Qt::Literals::StringLiterals;

bool keepsMethodAndBody(int status)
{
    return status == 307 || status == 308;
}

} // namespace

bool isSameOrigin(const QUrl& first, const QUrl& second)
{
    return first.scheme() == second.scheme() && first.host() == second.host()
        && first.port(defaultPort(first)) == second.port(defaultPort(second));
}

QUrl redirectTarget(const QNetworkReply& reply)
{
    switch (reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()) {
    case 301:
    case 302:
    case 303:
    case 307:
    case 308:
        break;
    default:
        return {};
    }
    const QUrl location = reply.attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    return location.isEmpty() ? QUrl() : reply.url().resolved(location);
}

std::expected<OutgoingRequest, NetworkError> redirected(const OutgoingRequest& sent, const QUrl& target, int status,
                                                        int followed)
{
    const QUrl from = sent.request.url();
    if (!target.isValid() || !isSameOrigin(from, target))
        return std::unexpected(NetworkError{NetworkError::networkManagerDomain, NetworkError::redirectedElsewhere,
                                            u"The server redirected the request to another origin (%1)."_s.arg(
                                                target.adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toDisplayString())});
    if (followed >= maxRedirects)
        return std::unexpected(NetworkError{NetworkError::networkManagerDomain, NetworkError::tooManyRedirects,
                                            u"The server redirected the request more than %1 times."_s.arg(maxRedirects)});

    OutgoingRequest next = sent;
    next.request.setUrl(target);
    if (!keepsMethodAndBody(status) && next.method != verb(HttpMethod::get)) {
        next.method = verb(HttpMethod::get);
        next.body.clear();
        next.request.setRawHeader("Content-Type", QByteArray());
    }
    return next;
}

} // namespace Tivrand
