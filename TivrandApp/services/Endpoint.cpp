#include "TivrandApp/services/Endpoint.h"

namespace Tivrand {
namespace {

using namespace Qt::Literals::StringLiterals;

NetworkError invalidUrl(const QString& what)
{
    return NetworkError{NetworkError::endpointDomain, NetworkError::invalidUrl, u"Invalid URL: "_s + what};
}

QString encodedQuery(const QList<std::pair<QString, QString>>& parameters)
{
    QByteArray query;
    for (const auto& [key, value] : parameters) {
        if (!query.isEmpty())
            query += '&';
        query += QUrl::toPercentEncoding(key) + '=' + QUrl::toPercentEncoding(value);
    }
    return QString::fromLatin1(query);
}

} // namespace

QByteArray verb(HttpMethod method)
{
    switch (method) {
    case HttpMethod::get:
        return QByteArrayLiteral("GET");
    case HttpMethod::post:
        return QByteArrayLiteral("POST");
    }
    return {};
}

int defaultPort(const QUrl& url)
{
    return url.scheme() == "https"_L1 ? 443 : 80;
}

std::expected<QNetworkRequest, NetworkError> Endpoint::makeRequest() const
{
    QUrl url = baseUrl();
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != "http"_L1 && scheme != "https"_L1) || url.host().isEmpty())
        return std::unexpected(invalidUrl(url.toDisplayString()));

    QString basePath = url.path(QUrl::FullyEncoded);
    while (basePath.endsWith(u'/'))
        basePath.chop(1);
    url.setPath(basePath + path(), QUrl::TolerantMode);
    const auto items = parameters();
    if (items.isEmpty())
        url.setQuery(QString());
    else
        url.setQuery(encodedQuery(items), QUrl::TolerantMode);
    url.setFragment(QString());
    if (!url.isValid())
        return std::unexpected(invalidUrl(url.toDisplayString()));

    QNetworkRequest request(url);
    for (const auto& [name, value] : headers())
        request.setRawHeader(name, value);
    return request;
}

} // namespace Tivrand
