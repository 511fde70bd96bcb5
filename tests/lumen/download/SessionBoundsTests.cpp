#include "tests/lumen/download/DownloadTesting.h"

#include "Lumen/download/SessionCookieJar.h"

#include <QNetworkCookie>

#include <algorithm>

namespace Lumen::Testing {
namespace {

using Tivrand::Testing::LoopbackServer;

const QByteArray icon = pngBytes();

QNetworkCookie cookie(const QString& name, qsizetype valueSize = 1, const QString& path = {})
{
    QNetworkCookie made(name.toUtf8(), QByteArray(valueSize, 'v'));
    made.setPath(path);
    return made;
}

TEST(SessionCookieJar, HoldsFiftyPerHostThreeThousandInAllAndNoneOverItsSizeDroppingTheLeastRecentlyUsed)
{
    SessionCookieJar jar;
    const QUrl site(QStringLiteral("http://site.test/"));
    for (int i = 0; i < 60; ++i) {
        jar.setCookiesFromUrl({cookie(QStringLiteral("c%1").arg(i), 1, QStringLiteral("/%1").arg(i))}, site);
        // Sent after it was set: the first cookie outlives the ones set after it.
        jar.cookiesForUrl(site.resolved(QUrl(QStringLiteral("/0"))));
    }
    EXPECT_EQ(jar.count(), 50);
    EXPECT_EQ(jar.cookiesForUrl(site.resolved(QUrl(QStringLiteral("/0")))).size(), 1);
    EXPECT_TRUE(jar.cookiesForUrl(site.resolved(QUrl(QStringLiteral("/1")))).isEmpty());
    EXPECT_EQ(jar.cookiesForUrl(site.resolved(QUrl(QStringLiteral("/59")))).size(), 1);

    // "n=" and the value: 4,096 bytes pass, one more does not.
    EXPECT_TRUE(jar.setCookiesFromUrl({cookie(QStringLiteral("n"), 4094)}, QUrl(QStringLiteral("http://big.test/"))));
    EXPECT_FALSE(jar.setCookiesFromUrl({cookie(QStringLiteral("n"), 4095)}, QUrl(QStringLiteral("http://big.test/"))));
    EXPECT_EQ(jar.cookiesForUrl(QUrl(QStringLiteral("http://big.test/"))).value(0).value().size(), 4094);

    for (int i = 0; i < 3100; ++i)
        jar.setCookiesFromUrl({cookie(QStringLiteral("c"))}, QUrl(QStringLiteral("http://host%1.test/").arg(i)));
    EXPECT_EQ(jar.count(), 3000);
    EXPECT_TRUE(jar.cookiesForUrl(site.resolved(QUrl(QStringLiteral("/0")))).isEmpty());
    EXPECT_TRUE(jar.cookiesForUrl(QUrl(QStringLiteral("http://host0.test/"))).isEmpty());
    EXPECT_EQ(jar.cookiesForUrl(QUrl(QStringLiteral("http://host3099.test/"))).size(), 1);
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

} // namespace
} // namespace Lumen::Testing
