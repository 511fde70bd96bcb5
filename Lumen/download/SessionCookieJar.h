#pragma once

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QString>

#include <cstdint>
#include <map>
#include <vector>

namespace Lumen {

// A session's cookies, in memory only and bounded by the figures RFC 6265 (section 6.1) asks a
// client to support: 50 cookies per host, 3,000 in all, 4,096 bytes each for name, value and
// attributes. Past a count, the cookie least recently set or sent goes (a host's expired ones
// before any of its live ones); a larger cookie is ignored. Used on one thread.
class SessionCookieJar : public QNetworkCookieJar {
public:
    static constexpr std::size_t maximumCookiesPerHost = 50;
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
    using Hosts = std::map<QString, std::vector<Stored>>;

    bool store(const QNetworkCookie& cookie);
    void touch(Stored& stored) const;
    void forget(Hosts::iterator host, std::size_t index) const;
    void forgetExpired(const QString& domain) const;
    Hosts::iterator findStored(const QNetworkCookie& cookie, std::size_t& index) const;

    // The cookies of each host, under the domain they were set for without its leading dot;
    // const look-ups change them too, as sending a cookie is a use and an expired one goes.
    mutable Hosts m_hosts;
    // Every cookie's last use, oldest first, with its host.
    mutable std::map<std::uint64_t, QString> m_uses;
    mutable std::uint64_t m_clock = 0;
    mutable int m_count = 0;
};

} // namespace Lumen
