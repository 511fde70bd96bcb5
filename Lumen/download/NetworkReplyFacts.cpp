#include "Lumen/download/NetworkReplyFacts.h"

#include "Lumen/download/SessionErrors.h"

#include <QNetworkReply>

namespace Lumen::NetworkReplyFacts {

URLResponse responseOf(const QNetworkReply& reply)
{
    URLResponse response;
    response.url = reply.url();
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        response.statusCode = status.toInt();
    response.headers = reply.rawHeaderPairs();
    const QVariant length = reply.header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid())
        response.expectedContentLength = length.toLongLong();
    return response;
}

std::optional<QUrl> redirectTarget(const QNetworkReply& reply)
{
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308)
        return std::nullopt;
    const QUrl target = reply.attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (target.isEmpty() || !target.isValid())
        return std::nullopt;
    return reply.url().resolved(target);
}

bool isBodyFramedByLength(const QNetworkReply& reply)
{
    // HTTP/2 frames bodies by its own frames: a length announced there binds nothing Qt enforces.
    if (!reply.header(QNetworkRequest::ContentLengthHeader).isValid() || reply.hasRawHeader("Transfer-Encoding")
        || reply.attribute(QNetworkRequest::Http2WasUsedAttribute).toBool())
        return false;
    const QByteArray coding = reply.rawHeader("Content-Encoding").trimmed().toLower();
    return coding.isEmpty() || coding == "identity";
}

std::optional<UnderlyingError> failureOf(const QNetworkReply& reply)
{
    const auto error = reply.error();
    if (error == QNetworkReply::NoError)
        return std::nullopt;
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return UnderlyingError::network(error, reply.errorString());
    // Connection and proxy errors stay failures whatever the status; the rest is Qt's reading of it.
    const bool statusError = error >= QNetworkReply::ContentAccessDenied
        || error == QNetworkReply::ProxyAuthenticationRequiredError;
    if (status.toInt() >= 400 && statusError)
        return std::nullopt;
    if (error == QNetworkReply::UnknownContentError)
        return SessionErrors::undecodableBody(reply.url(), reply.errorString());
    return UnderlyingError::network(error, reply.errorString());
}

} // namespace Lumen::NetworkReplyFacts
