#include "TivrandApp/services/Redirect.h"

#include "TivrandApp/services/Endpoint.h"

#include <QNetworkReply>

namespace Tivrand {
namespace {

using namespace Qt::Literals::StringLiterals;

NetworkError managerError(int code, const QString& message)
{
    return NetworkError{NetworkError::networkManagerDomain, code, message};
}

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
    if (!target.isValid() || !isSameOrigin(sent.request.url(), target)) {
        const QString origin = target.adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toDisplayString();
        return std::unexpected(managerError(NetworkError::redirectedElsewhere,
                                            u"The server redirected the request elsewhere (%1)."_s.arg(origin)));
    }
    if (followed >= maxRedirects) {
        const QString limit = QString::number(maxRedirects);
        return std::unexpected(managerError(NetworkError::tooManyRedirects,
                                            u"The server redirected the request more than %1 times."_s.arg(limit)));
    }

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
