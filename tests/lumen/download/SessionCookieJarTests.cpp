#include "tests/lumen/download/DownloadTesting.h"

#include "Lumen/download/SessionCookieJar.h"
#include "tests/support/KeepAliveServer.h"

#include <QDateTime>
#include <QNetworkCookie>
#include <QNetworkProxy>
#include <QScopeGuard>
#include <QUrlQuery>

#include <algorithm>
#include <thread>
#include <tuple>

namespace Lumen::Testing {
namespace {

using namespace std::chrono_literals;
using Tivrand::Testing::KeepAliveServer;
using Tivrand::Testing::LoopbackServer;

const QByteArray icon = pngBytes();

QNetworkCookie cookie(const QString& name, qsizetype valueSize = 1, const QString& path = {})
{
    QNetworkCookie made(name.toUtf8(), QByteArray(valueSize, 'v'));
    made.setPath(path);
    return made;
}

void waitForExpiry(const QDateTime& expiry)
{
    while (QDateTime::currentDateTimeUtc() <= expiry)
        std::this_thread::sleep_for(10ms);
}

TEST(SessionCookieJar, HoldsFiftyPerSiteThreeThousandInAllAndNoneOverItsSizeDroppingTheLeastRecentlyUsed)
{
    SessionCookieJar jar;
    const auto url = [](const QString& place) { return QUrl(QStringLiteral("http://") + place); };
    const auto sent = [&](const QString& place) { return jar.cookiesForUrl(url(place)).size(); };
    for (int i = 0; i < 60; ++i) {
        jar.setCookiesFromUrl({cookie(QStringLiteral("c%1").arg(i), 1, QStringLiteral("/%1").arg(i))}, url("site.test/"));
        // Sent after it was set: the first cookie outlives the ones set after it.
        sent("site.test/0");
    }
    EXPECT_EQ(jar.count(), 50);
    EXPECT_EQ(std::tuple(sent("site.test/0"), sent("site.test/1"), sent("site.test/59")), std::tuple(1, 0, 1));

    // "n=", the value and the domain and path it is kept with: 4,096 bytes pass, one more does not.
    const qsizetype fits = 4096 - qsizetype(qstrlen("n=; domain=big.test; path=/"));
    EXPECT_TRUE(jar.setCookiesFromUrl({cookie(QStringLiteral("n"), fits)}, url("big.test/")));
    EXPECT_FALSE(jar.setCookiesFromUrl({cookie(QStringLiteral("n"), fits + 1)}, url("big.test/")));
    EXPECT_EQ(jar.cookiesForUrl(url("big.test/")).value(0).value().size(), fits);
    // A cookie sent without a path takes its URL's directory, which a server can make as long as it likes.
    const QString longDirectory = QStringLiteral("big.test/%1/icon.png").arg(QString(5000, QLatin1Char('d')));
    EXPECT_FALSE(jar.setCookiesFromUrl({cookie(QStringLiteral("p"))}, url(longDirectory)));

    for (int i = 0; i < 3100; ++i)
        jar.setCookiesFromUrl({cookie(QStringLiteral("c"))}, url(QStringLiteral("host%1.test/").arg(i)));
    EXPECT_EQ(jar.count(), 3000);
    EXPECT_EQ(std::tuple(sent("site.test/0"), sent("host0.test/"), sent("host3099.test/")), std::tuple(0, 0, 1));
}

TEST(SessionCookieJar, AFullSiteGivesUpItsExpiredCookiesBeforeALiveOne)
{
    SessionCookieJar jar;
    const QUrl site(QStringLiteral("http://site.test/"));
    jar.setCookiesFromUrl({cookie(QStringLiteral("oldest"))}, site);
    for (int i = 0; i < 48; ++i)
        jar.setCookiesFromUrl({cookie(QStringLiteral("c%1").arg(i))}, site);
    // The most recently set, so the least recently used is the live "oldest".
    QNetworkCookie fading = cookie(QStringLiteral("fading"));
    const QDateTime expiry = QDateTime::currentDateTimeUtc().addMSecs(50);
    fading.setExpirationDate(expiry);
    jar.setCookiesFromUrl({fading}, site);
    waitForExpiry(expiry);

    jar.setCookiesFromUrl({cookie(QStringLiteral("newest"))}, site);
    QStringList names;
    for (const QNetworkCookie& sent : jar.cookiesForUrl(site))
        names.append(QString::fromUtf8(sent.name()));
    EXPECT_EQ(names.size(), 50);
    EXPECT_TRUE(names.contains(QStringLiteral("oldest")) && names.contains(QStringLiteral("newest")));
}

TEST_F(DownloaderTest, ACookieFloodLeavesLaterRequestsAtMostFiftyCookies)
{
    LoopbackServer server;
    server.get("/flood", [](const auto&, auto& response) {
        for (int i = 0; i < 60; ++i)
            response.set_header("Set-Cookie", "c" + std::to_string(i) + "=" + std::string(20, 'v'));
        response.set_header("Set-Cookie", "big=" + std::string(5000, 'v'));
        serveBytes(response, icon);
    });
    server.get("/next", [](const auto&, auto& response) { serveBytes(response, icon); });
    server.start();
    EXPECT_EQ(errorCode(fetch(server.url(QStringLiteral("/flood")))), 0);
    EXPECT_EQ(errorCode(fetch(server.url(QStringLiteral("/next")))), 0);
    const std::string sent = server.requests().back().header("Cookie");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), '='), 50);
    EXPECT_EQ(sent.find("big="), std::string::npos);
    downloader->setSessionConfiguration(URLSessionConfiguration::ephemeral());
}

TEST(SessionCookieJar, AFullJarGivesUpItsExpiredCookiesBeforeLiveOnes)
{
    SessionCookieJar jar;
    const auto site = [](int index) { return QUrl(QStringLiteral("http://site%1.test/").arg(index)); };
    // The ten that expire are the most recently set: the least recently used are live.
    const QDateTime expiry = QDateTime::currentDateTimeUtc().addMSecs(50);
    for (int i = 0; i < 3000; ++i) {
        QNetworkCookie made = cookie(QStringLiteral("c"));
        if (i >= 2990)
            made.setExpirationDate(expiry);
        jar.setCookiesFromUrl({made}, site(i));
    }
    waitForExpiry(expiry);
    for (int i = 3000; i < 3010; ++i)
        jar.setCookiesFromUrl({cookie(QStringLiteral("c"))}, site(i));
    EXPECT_EQ(jar.count(), 3000);
    for (const int kept : {0, 9, 2989, 3009})
        EXPECT_EQ(jar.cookiesForUrl(site(kept)).size(), 1) << kept;
}

TEST_F(DownloaderTest, ThroughAProxyARequestCarriesAtMostFiftyCookiesOfItsSiteAndAPublicSuffixBindsNoOtherHost)
{
    // "/set?domain=D&count=N" sets N cookies for the domain D; any request answers with the icon.
    const auto body = std::make_shared<const std::string>(icon.toStdString());
    KeepAliveServer proxy(1, [&](const KeepAliveServer::Request& request) {
        KeepAliveServer::Response response{"HTTP/1.1 200 OK\r\nContent-Type: image/png", body};
        const QUrl target(QString::fromStdString(request.target));
        const QUrlQuery query(target);
        const QString domain = query.queryItemValue(QStringLiteral("domain"));
        for (int i = 0; i < query.queryItemValue(QStringLiteral("count")).toInt(); ++i)
            response.head += QStringLiteral("\r\nSet-Cookie: %1-%2=v; Domain=%1").arg(domain).arg(i).toStdString();
        return response;
    });
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), quint16(proxy.port(0))));
    const auto direct = qScopeGuard([] { QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy)); });
    const auto set = [&](const QString& host, const QString& domain, int count) {
        const QUrl url(QStringLiteral("http://%1/set?domain=%2&count=%3").arg(host, domain).arg(count));
        EXPECT_EQ(errorCode(fetch(url)), 0) << url.toString().toStdString();
    };
    // The Cookie field of a request to `host`, as the proxy saw it.
    const auto sentTo = [&](const QString& host) {
        const QUrl url(QStringLiteral("http://%1/next.png").arg(host));
        EXPECT_EQ(errorCode(fetch(url)), 0) << url.toString().toStdString();
        return QString::fromStdString(proxy.requests().back().header("cookie"));
    };

    // Thirty nested hosts of one site, each setting twenty cookies for itself and its hosts.
    QString nested = QStringLiteral("site.example");
    for (int level = 0; level < 30; ++level) {
        nested.prepend(QStringLiteral("a."));
        set(nested, nested, 20);
    }
    const qsizetype carried = sentTo(nested).count(QLatin1Char('='));
    EXPECT_GT(carried, 0);
    EXPECT_LE(carried, qsizetype(SessionCookieJar::maximumCookiesPerSite));

    // A public suffix as Domain keeps the cookie to the host that is it, and no other host sets it.
    set(QStringLiteral("github.io"), QStringLiteral("github.io"), 1);
    set(QStringLiteral("a.co.uk"), QStringLiteral("co.uk"), 1);
    const struct { const char* host; const char* sent; } cases[] = {
        {"github.io", "github.io-0=v"},
        {"x.github.io", ""},
        {"a.co.uk", ""},
        {"b.co.uk", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sentTo(QString::fromLatin1(c.host)), QString::fromLatin1(c.sent)) << c.host;
    downloader->setSessionConfiguration(URLSessionConfiguration::ephemeral());
}

} // namespace
} // namespace Lumen::Testing
