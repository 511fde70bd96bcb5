#include "TivrandApp/services/SearchAPIRouter.h"

#include <QtGlobal>

namespace Tivrand {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr auto catalogBaseUrl = "https://amp-api-edge.apps.apple.com";

// Placeholder: the signed catalog token is put here for a release build.
constexpr auto catalogToken =
    "eyJhbGciOiJFUzI1NiIsInR5cCI6IkpXVCIsImtpZCI6IlRJVlJBTkRERVYwIn0."
    "eyJpc3MiOiJUSVZSQU5EREVWMCIsImlhdCI6MTcwMDAwMDAwMCwiZXhwIjoxOTAwMDAwMDAwLCJyb290X2h0dHBzX29yaWdpbiI6WyJhcHBsZS5jb20iXX0."
    "cGxhY2Vob2xkZXItc2lnbmF0dXJlLXJlcGxhY2UtYmVmb3JlLXJlbGVhc2U";

QString overridden(const char* variable, const char* fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QString::fromLatin1(fallback) : value;
}

QByteArray hostHeader(const QUrl& url)
{
    QString host = url.host(QUrl::FullyEncoded);
    if (host.contains(u':'))
        host = u'[' + host + u']';
    const int port = url.port(defaultPort(url));
    if (port != defaultPort(url))
        host += u':' + QString::number(port);
    return host.toLatin1();
}

QString catalogPath(const QString& countryCode, QLatin1StringView action)
{
    // The code comes from a resource file; encoding keeps a stray "/" or "?" inside its segment.
    return u"/v1/catalog/"_s + QString::fromLatin1(QUrl::toPercentEncoding(countryCode)) + u'/' + action;
}

template<class... Visitors>
struct Overloaded : Visitors... {
    using Visitors::operator()...;
};

} // namespace

SearchAPIRouter::SearchAPIRouter(Route route)
    : m_route(std::move(route))
    , m_baseUrl(overridden("TIVRAND_CATALOG_URL", catalogBaseUrl))
    , m_token(overridden("TIVRAND_CATALOG_TOKEN", catalogToken).toUtf8())
{
}

SearchAPIRouter SearchAPIRouter::searchApp(const QString& platform, const QString& term, const QString& countryCode,
                                           const QString& language)
{
    return SearchAPIRouter(SearchApp{platform, term, countryCode, language});
}

SearchAPIRouter SearchAPIRouter::getContents(const QString& platform, const QString& ids, const QString& countryCode,
                                             const QString& language)
{
    return SearchAPIRouter(GetContents{platform, ids, countryCode, language});
}

QUrl SearchAPIRouter::baseUrl() const
{
    return m_baseUrl;
}

QString SearchAPIRouter::path() const
{
    return std::visit(Overloaded{
                          [](const SearchApp& route) { return catalogPath(route.countryCode, "search"_L1); },
                          [](const GetContents& route) { return catalogPath(route.countryCode, "contents"_L1); },
                      },
                      m_route);
}

HttpMethod SearchAPIRouter::method() const
{
    return HttpMethod::get;
}

QList<std::pair<QString, QString>> SearchAPIRouter::parameters() const
{
    using Items = QList<std::pair<QString, QString>>;
    return std::visit(Overloaded{
                          [](const SearchApp& route) {
                              return Items{{u"platform"_s, route.platform}, {u"term"_s, route.term}, {u"l"_s, route.language}};
                          },
                          [](const GetContents& route) {
                              return Items{{u"platform"_s, route.platform}, {u"l"_s, route.language}, {u"ids"_s, route.ids}};
                          },
                      },
                      m_route);
}

QByteArray SearchAPIRouter::body() const
{
    return {};
}

QList<std::pair<QByteArray, QByteArray>> SearchAPIRouter::headers() const
{
    return {
        {"Host", hostHeader(m_baseUrl)},
        {"user-agent", "Tivrand"},
        {"authorization", "Bearer " + m_token},
        {"Cookie", "dslang=US-EN"},
    };
}

} // namespace Tivrand
