#include "Lumen/download/SessionCookieJar.h"

#include "Lumen/download/PublicSuffixes.h"

#include <QDateTime>
#include <QUrl>

#include <algorithm>

namespace Lumen {

namespace {

using PublicSuffixes::canonicalHost;

// The domain a cookie was kept for, without the leading dot of a domain cookie.
QString domainOf(const QNetworkCookie& cookie)
{
    const QString domain = cookie.domain();
    return domain.startsWith(QLatin1Char('.')) ? domain.mid(1) : domain;
}

bool isHostOnly(const QNetworkCookie& cookie)
{
    return !cookie.domain().startsWith(QLatin1Char('.'));
}

QString siteOfCookie(const QNetworkCookie& cookie)
{
    return PublicSuffixes::siteOf(domainOf(cookie));
}

qsizetype sizeOf(const QNetworkCookie& cookie)
{
    return cookie.toRawForm(QNetworkCookie::Full).size();
}

bool isExpired(const QNetworkCookie& cookie, const QDateTime& now)
{
    return !cookie.isSessionCookie() && cookie.expirationDate() <= now;
}

// A cookie's path covers the request's path when it is the same, or a prefix of it that ends at
// a "/".
bool pathMatches(const QString& requestPath, const QString& cookiePath)
{
    if (cookiePath.isEmpty() || requestPath == cookiePath)
        return true;
    return requestPath.startsWith(cookiePath)
        && (cookiePath.endsWith(QLatin1Char('/')) || requestPath.at(cookiePath.size()) == QLatin1Char('/'));
}

bool domainMatches(const QString& host, const QNetworkCookie& cookie)
{
    const QString domain = domainOf(cookie);
    if (host == domain)
        return true;
    return !isHostOnly(cookie) && host.endsWith(domain) && host.at(host.size() - domain.size() - 1) == QLatin1Char('.');
}

// Gives the cookie the domain it is kept with, in the form hosts are compared in. A Domain
// attribute that names a public suffix makes the cookie host-only when it is the request's
// host, and makes it ignored (false) otherwise.
bool placeCookie(QNetworkCookie& cookie, const QUrl& url)
{
    const QString host = canonicalHost(url.host());
    const QString domain = canonicalHost(domainOf(cookie));
    if (isHostOnly(cookie)) {
        cookie.setDomain(domain);
        return true;
    }
    if (PublicSuffixes::isPublicSuffix(domain)) {
        if (domain != host)
            return false;
        cookie.setDomain(host);
        return true;
    }
    cookie.setDomain(QLatin1Char('.') + domain);
    return true;
}

} // namespace

QList<QNetworkCookie> SessionCookieJar::cookiesForUrl(const QUrl& url) const
{
    const QString host = canonicalHost(url.host());
    if (host.isEmpty())
        return {};
    const bool secure = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const QString path = url.path().isEmpty() ? QStringLiteral("/") : url.path();
    // Every cookie a host may be sent belongs to its site.
    const QString site = PublicSuffixes::siteOf(host);
    forgetExpired(site);
    const auto found = m_sites.find(site);
    if (found == m_sites.end())
        return {};
    std::vector<Stored*> matching;
    for (Stored& stored : found->second) {
        const QNetworkCookie& cookie = stored.cookie;
        if (domainMatches(host, cookie) && (secure || !cookie.isSecure()) && pathMatches(path, cookie.path()))
            matching.push_back(&stored);
    }
    std::ranges::stable_sort(matching, std::ranges::greater{},
                             [](const Stored* stored) { return stored->cookie.path().size(); });
    QList<QNetworkCookie> cookies;
    cookies.reserve(qsizetype(matching.size()));
    for (Stored* stored : matching) {
        touch(*stored);
        cookies.append(stored->cookie);
    }
    return cookies;
}

bool SessionCookieJar::setCookiesFromUrl(const QList<QNetworkCookie>& cookieList, const QUrl& url)
{
    bool added = false;
    for (QNetworkCookie cookie : cookieList) {
        cookie.normalize(url);
        if (validateCookie(cookie, url) && placeCookie(cookie, url) && store(cookie))
            added = true;
    }
    return added;
}

bool SessionCookieJar::insertCookie(const QNetworkCookie& cookie)
{
    return store(cookie);
}

bool SessionCookieJar::updateCookie(const QNetworkCookie& cookie)
{
    std::size_t index = 0;
    return findStored(cookie, index) != m_sites.end() && insertCookie(cookie);
}

bool SessionCookieJar::deleteCookie(const QNetworkCookie& cookie)
{
    std::size_t index = 0;
    const auto site = findStored(cookie, index);
    if (site == m_sites.end())
        return false;
    forget(site, index);
    return true;
}

bool SessionCookieJar::store(const QNetworkCookie& cookie)
{
    if (sizeOf(cookie) > maximumCookieBytes)
        return false;
    // A cookie that has expired already deletes the one it names.
    deleteCookie(cookie);
    if (isExpired(cookie, QDateTime::currentDateTimeUtc()))
        return false;
    const QString key = siteOfCookie(cookie);
    // A full site gives up the cookies it no longer sends before a live one.
    forgetExpired(key);
    if (const auto site = m_sites.find(key); site != m_sites.end() && site->second.size() >= maximumCookiesPerSite) {
        const auto oldest = std::ranges::min_element(site->second, {}, &Stored::lastUse);
        forget(site, std::size_t(oldest - site->second.begin()));
    } else if (m_count >= maximumCookies) {
        forgetAllExpired();
        if (m_count >= maximumCookies) {
            const auto& [lastUse, oldestSite] = *m_uses.begin();
            const auto holder = m_sites.find(oldestSite);
            const auto oldest = std::ranges::find(holder->second, lastUse, &Stored::lastUse);
            forget(holder, std::size_t(oldest - holder->second.begin()));
        }
    }
    const std::uint64_t use = ++m_clock;
    m_sites[key].push_back(Stored{cookie, use});
    m_uses.emplace(use, key);
    if (!cookie.isSessionCookie())
        m_expiries.emplace(cookie.expirationDate().toMSecsSinceEpoch(), use);
    ++m_count;
    return true;
}

void SessionCookieJar::touch(Stored& stored) const
{
    const std::uint64_t previous = std::exchange(stored.lastUse, ++m_clock);
    auto use = m_uses.extract(previous);
    use.key() = stored.lastUse;
    m_uses.insert(std::move(use));
    if (!stored.cookie.isSessionCookie()) {
        const qint64 expiry = stored.cookie.expirationDate().toMSecsSinceEpoch();
        m_expiries.erase({expiry, previous});
        m_expiries.emplace(expiry, stored.lastUse);
    }
}

void SessionCookieJar::forget(Sites::iterator site, std::size_t index) const
{
    auto& cookies = site->second;
    const Stored& stored = cookies[index];
    m_uses.erase(stored.lastUse);
    if (!stored.cookie.isSessionCookie())
        m_expiries.erase({stored.cookie.expirationDate().toMSecsSinceEpoch(), stored.lastUse});
    cookies.erase(cookies.begin() + std::ptrdiff_t(index));
    --m_count;
    if (cookies.empty())
        m_sites.erase(site);
}

void SessionCookieJar::forgetExpired(const QString& site) const
{
    const auto found = m_sites.find(site);
    if (found == m_sites.end())
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // From the back, so what is forgotten moves none of what is still to be seen; the site goes
    // with its last cookie, which is then the first.
    for (std::size_t index = found->second.size(); index-- > 0;) {
        if (isExpired(found->second[index].cookie, now))
            forget(found, index);
    }
}

void SessionCookieJar::forgetAllExpired() const
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    while (!m_expiries.empty() && m_expiries.begin()->first <= now) {
        const std::uint64_t lastUse = m_expiries.begin()->second;
        const auto site = m_sites.find(m_uses.at(lastUse));
        const auto stored = std::ranges::find(site->second, lastUse, &Stored::lastUse);
        forget(site, std::size_t(stored - site->second.begin()));
    }
}

SessionCookieJar::Sites::iterator SessionCookieJar::findStored(const QNetworkCookie& cookie, std::size_t& index) const
{
    const auto site = m_sites.find(siteOfCookie(cookie));
    if (site == m_sites.end())
        return site;
    const auto found = std::ranges::find_if(site->second,
                                            [&](const Stored& stored) { return stored.cookie.hasSameIdentifier(cookie); });
    if (found == site->second.end())
        return m_sites.end();
    index = std::size_t(found - site->second.begin());
    return site;
}

} // namespace Lumen
