#include "Lumen/download/SessionErrors.h"

#include "Lumen/foundation/ObjectDescription.h"

namespace Lumen::SessionErrors {

UnderlyingError cancelled()
{
    return UnderlyingError::network(QNetworkReply::OperationCanceledError, QStringLiteral("The transfer was cancelled."));
}

UnderlyingError answerTimedOut(const QString& what, const QUrl& url)
{
    return UnderlyingError::network(QNetworkReply::TimeoutError,
                                    QStringLiteral("No answer from the ") + what + QStringLiteral(" for ")
                                        + describeUrl(url) + QStringLiteral(" came within the request's timeout."));
}

UnderlyingError timedOut(const QUrl& url, double seconds)
{
    return UnderlyingError::network(QNetworkReply::TimeoutError,
                                    QStringLiteral("The request to ") + describeUrl(url)
                                        + QStringLiteral(" timed out: nothing arrived for ") + QString::number(seconds)
                                        + QStringLiteral(" seconds."));
}

UnderlyingError unsupportedScheme(const QUrl& url)
{
    return UnderlyingError::network(QNetworkReply::ProtocolUnknownError,
                                    describeUrl(url) + QStringLiteral(" is not downloaded: only http and https are."));
}

UnderlyingError undecodableBody(const QUrl& url, const QString& reason)
{
    return UnderlyingError::network(QNetworkReply::UnknownContentError,
                                    QStringLiteral("The response body from ") + describeUrl(url)
                                        + QStringLiteral(" could not be decoded: ") + reason);
}

UnderlyingError bodyTooLarge(const QUrl& url, qint64 limit)
{
    return UnderlyingError::network(QNetworkReply::UnknownContentError,
                                    QStringLiteral("The response body from ") + describeUrl(url)
                                        + QStringLiteral(" is larger than the limit of ")
                                        + QString::number(limit) + QStringLiteral(" bytes."));
}

UnderlyingError bodyBudgetExceeded(const QUrl& url, qint64 budget)
{
    return UnderlyingError::network(QNetworkReply::UnknownContentError,
                                    QStringLiteral("The response body from ") + describeUrl(url)
                                        + QStringLiteral(" does not fit in the session's budget of ")
                                        + QString::number(budget)
                                        + QStringLiteral(" bytes for the bodies of all its transfers at once."));
}

UnderlyingError deadlineExceeded(const QUrl& url, double seconds)
{
    return UnderlyingError::network(QNetworkReply::TimeoutError,
                                    QStringLiteral("The transfer of ") + describeUrl(url)
                                        + QStringLiteral(" did not finish within its deadline of ")
                                        + QString::number(seconds) + QStringLiteral(" seconds."));
}

UnderlyingError tooSlow(const QUrl& url, qint64 bytesPerSecond, double seconds)
{
    return UnderlyingError::network(QNetworkReply::TimeoutError,
                                    QStringLiteral("The transfer of ") + describeUrl(url)
                                        + QStringLiteral(" gave its connection up to a waiting one: it moved fewer than ")
                                        + QString::number(bytesPerSecond) + QStringLiteral(" bytes a second for ")
                                        + QString::number(seconds) + QStringLiteral(" seconds."));
}

UnderlyingError redirectNotHTTP(const QUrl& target)
{
    return UnderlyingError::network(QNetworkReply::InsecureRedirectError,
                                    QStringLiteral("A redirect to ") + describeUrl(target)
                                        + QStringLiteral(" is not followed: only http and https are."));
}

UnderlyingError tooManyRedirects(const QUrl& url, int limit)
{
    return UnderlyingError::network(QNetworkReply::TooManyRedirectsError,
                                    QStringLiteral("More than ") + QString::number(limit)
                                        + QStringLiteral(" redirects in a row from ") + describeUrl(url)
                                        + QLatin1Char('.'));
}

UnderlyingError networkConstrained()
{
    return UnderlyingError::network(QNetworkReply::BackgroundRequestNotAllowedError,
                                    QStringLiteral("The network is in low-data mode, which this request may not use."),
                                    NetworkUnavailableReason::constrained);
}

} // namespace Lumen::SessionErrors
