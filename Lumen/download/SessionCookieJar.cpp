#include "Lumen/download/SessionCookieJar.h"

#include <QDateTime>
#include <QHostAddress>
#include <QUrl>

#include <algorithm>
#include <ranges>

namespace Lumen {

namespace {

QString hostOf(const QNetworkCookie& cookie)
{
    const QString domain = cookie.domain().toLower();
    return domain.startsWith(QLatin1Char('.')) ? domain.mid(1) : domain;
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

} // namespace

QList<QNetworkCookie> SessionCookieJar::cookiesForUrl(const QUrl& url) const
{
    const QString host = url.host().toLower();
    if (host.isEmpty())
        return {};
    const bool secure = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const QString path = url.path().isEmpty() ? QStringLiteral("/") : url.path();
    const bool isAddress = !QHostAddress(host).isNull();

    std::vector<Stored*> matching;
    // The host's own cookies, then those its parent domains set for all their hosts.
    QString domain = host;
    for (bool ownHost = true;; ownHost = false) {
        forgetExpired(domain);
        if (const auto found = m_hosts.find(domain); found != m_hosts.end()) {
            for (Stored& stored : found->second) {
                const QNetworkCookie& cookie = stored.cookie;
                if ((ownHost || cookie.domain().startsWith(QLatin1Char('.'))) && (secure || !cookie.isSecure())
                    && pathMatches(path, cookie.path()))
                    matching.push_back(&stored);
            }
        }
        const qsizetype dot = domain.indexOf(QLatin1Char('.'));
        if (isAddress || dot < 0)
            break;
        domain = domain.mid(dot + 1);
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
        if (validateCookie(cookie, url) && store(cookie))
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
    return findStored(cookie, index) != m_hosts.end() && insertCookie(cookie);
}

bool SessionCookieJar::deleteCookie(const QNetworkCookie& cookie)
{
    std::size_t index = 0;
    const auto host = findStored(cookie, index);
    if (host == m_hosts.end())
        return false;
    forget(host, index);
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
    const QString key = hostOf(cookie);
    // A full host gives up the cookies it no longer sends before a live one.
    forgetExpired(key);
    if (const auto host = m_hosts.find(key); host != m_hosts.end() && host->second.size() >= maximumCookiesPerHost) {
        const auto oldest = std::ranges::min_element(host->second, {}, &Stored::lastUse);
        forget(host, std::size_t(oldest - host->second.begin()));
    } else if (m_count >= maximumCookies) {
        const auto& [lastUse, oldestHost] = *m_uses.begin();
        const auto holder = m_hosts.find(oldestHost);
        const auto oldest = std::ranges::find(holder->second, lastUse, &Stored::lastUse);
        forget(holder, std::size_t(oldest - holder->second.begin()));
    }
    const std::uint64_t use = ++m_clock;
    m_hosts[key].push_back(Stored{cookie, use});
    m_uses.emplace(use, key);
    ++m_count;
    return true;
}

void SessionCookieJar::touch(Stored& stored) const
{
    const auto node = m_uses.extract(stored.lastUse);
    m_uses.emplace(stored.lastUse = ++m_clock, node.mapped());
}

void SessionCookieJar::forget(Hosts::iterator host, std::size_t index) const
{
    auto& cookies = host->second;
    m_uses.erase(cookies[index].lastUse);
    cookies.erase(cookies.begin() + std::ptrdiff_t(index));
    --m_count;
    if (cookies.empty())
        m_hosts.erase(host);
}

void SessionCookieJar::forgetExpired(const QString& domain) const
{
    const auto host = m_hosts.find(domain);
    if (host == m_hosts.end())
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto expired = [&](const Stored& stored) { return isExpired(stored.cookie, now); };
    for (const Stored& stored : host->second | std::views::filter(expired)) {
        m_uses.erase(stored.lastUse);
        --m_count;
    }
    std::erase_if(host->second, expired);
    if (host->second.empty())
        m_hosts.erase(host);
}

SessionCookieJar::Hosts::iterator SessionCookieJar::findStored(const QNetworkCookie& cookie, std::size_t& index) const
{
    const auto host = m_hosts.find(hostOf(cookie));
    if (host == m_hosts.end())
        return host;
    const auto found = std::ranges::find_if(host->second,
                                            [&](const Stored& stored) { return stored.cookie.hasSameIdentifier(cookie); });
    if (found == host->second.end())
        return m_hosts.end();
    index = std::size_t(found - host->second.begin());
    return host;
}

} // namespace Lumen
