#include "Lumen/download/SessionErrors.h"

#include "Lumen/foundation/ObjectDescription.h"

namespace Lumen::SessionErrors {

UnderlyingError cancelled()
{
    return UnderlyingError::network(QNetworkReply::OperationCanceledError, QStringLiteral("The transfer was cancelled."));
}

UnderlyingError answerTimedOut(const QString& what)
{
    return UnderlyingError::network(QNetworkReply::TimeoutError,
                                    QStringLiteral("No answer from the ") + what
                                        + QStringLiteral(" came within the request's timeout."));
}

UnderlyingError bodyTooLarge(qint64 limit)
{
    return UnderlyingError::network(QNetworkReply::UnknownContentError,
                                    QStringLiteral("The response body is larger than the limit of ")
                                        + QString::number(limit) + QStringLiteral(" bytes."));
}

UnderlyingError redirectNotHTTP(const QUrl& target)
{
    return UnderlyingError::network(QNetworkReply::InsecureRedirectError,
                                    QStringLiteral("A redirect to ") + describeUrl(target)
                                        + QStringLiteral(" is not followed: only http and https are."));
}

UnderlyingError tooManyRedirects(int limit)
{
    return UnderlyingError::network(QNetworkReply::TooManyRedirectsError,
                                    QStringLiteral("More than ") + QString::number(limit)
                                        + QStringLiteral(" redirects in a row."));
}

UnderlyingError networkConstrained()
{
    return UnderlyingError::network(QNetworkReply::BackgroundRequestNotAllowedError,
                                    QStringLiteral("The network is in low-data mode, which this request may not use."),
                                    NetworkUnavailableReason::constrained);
}

} // namespace Lumen::SessionErrors
