#include "Lumen/download/URLRequest.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Lumen {

namespace {

bool sameField(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

URLRequest::URLRequest(QUrl url, CachePolicy cachePolicy, double timeoutInterval)
    : url(std::move(url))
    , cachePolicy(cachePolicy)
    , timeoutInterval(timeoutInterval)
{
}

std::optional<QByteArray> URLRequest::valueForHTTPHeaderField(const QByteArray& field) const
{
    const auto found = std::find_if(allHTTPHeaderFields.cbegin(), allHTTPHeaderFields.cend(),
                                    [&](const auto& entry) { return sameField(entry.first, field); });
    if (found == allHTTPHeaderFields.cend())
        return std::nullopt;
    return found->second;
}

void URLRequest::setValue(const std::optional<QByteArray>& value, const QByteArray& field)
{
    allHTTPHeaderFields.removeIf([&](const auto& entry) { return sameField(entry.first, field); });
    if (value)
        allHTTPHeaderFields.append({field, *value});
}

QNetworkRequest URLRequest::networkRequest() const
{
    QNetworkRequest request(url);
    for (const auto& [name, value] : allHTTPHeaderFields)
        request.setRawHeader(name, value);
    if (cachePolicy == CachePolicy::reloadIgnoringLocalCacheData)
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::HttpPipeliningAllowedAttribute, httpShouldUsePipelining);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    return request;
}

int URLRequest::timeoutMilliseconds() const
{
    if (!std::isfinite(timeoutInterval) || timeoutInterval <= 0)
        return 0;
    return static_cast<int>(std::clamp(timeoutInterval * 1000.0, 1.0, 2'000'000'000.0));
}

} // namespace Lumen
