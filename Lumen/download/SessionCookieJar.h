#pragma once

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QString>

#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace Lumen {

// A session's cookies, in memory only and bounded by the figures RFC 6265 (section 6.1) asks a
// client to support: 50 cookies per site, 3,000 in all, 4,096 bytes each for name, value and
// attributes. A site is a registrable domain of the public suffix list, or a host that has none
// (an address, a public suffix itself): a request only ever carries cookies of its host's site,
// so never more than 50. A Domain attribute naming a public suffix keeps the cookie to the host
// that set it when it is that host, and drops the cookie otherwise (section 5.3). Past a count,
// expired cookies go first, then the cookie least recently set or sent; a larger cookie is
// ignored. Used on one thread.
class SessionCookieJar : public QNetworkCookieJar {
public:
    static constexpr std::size_t maximumCookiesPerSite = 50;
    static constexpr int maximumCookies = 3000;
    static constexpr qsizetype maximumCookieBytes = 4096;

    using QNetworkCookieJar::QNetworkCookieJar;

    // The cookies to send to `url`, longest path first; each counts as used.
    QList<QNetworkCookie> cookiesForUrl(const QUrl& url) const override;
    // Each cookie is measured as it is kept: with the domain and path its URL gives it.
    bool setCookiesFromUrl(const QList<QNetworkCookie>& cookieList, const QUrl& url) override;
    bool insertCookie(const QNetworkCookie& cookie) override;
    bool updateCookie(const QNetworkCookie& cookie) override;
    bool deleteCookie(const QNetworkCookie& cookie) override;

    int count() const { return m_count; }

private:
    struct Stored {
        QNetworkCookie cookie;
        std::uint64_t lastUse;
    };
    using Sites = std::map<QString, std::vector<Stored>>;

    bool store(const QNetworkCookie& cookie);
    void touch(Stored& stored) const;
    void forget(Sites::iterator site, std::size_t index) const;
    void forgetExpired(const QString& site) const;
    // Across all sites, earliest expiry first.
    void forgetAllExpired() const;
    Sites::iterator findStored(const QNetworkCookie& cookie, std::size_t& index) const;

    // The cookies of each site; const look-ups change them too, as sending a cookie is a use
    // and an expired one goes.
    mutable Sites m_sites;
    // Every cookie's last use, oldest first, with its site.
    mutable std::map<std::uint64_t, QString> m_uses;
    // The cookies that expire, by their expiry (milliseconds since the epoch) and last use.
    mutable std::set<std::pair<qint64, std::uint64_t>> m_expiries;
    mutable std::uint64_t m_clock = 0;
    mutable int m_count = 0;
};

} // namespace Lumen
