#include "tests/lumen/download/DownloadTesting.h"

#include "Lumen/foundation/processors/LivePhotoImageProcessor.h"
#include "tests/support/RawSocketServer.h"

#include <atomic>

namespace Lumen::Testing {
namespace {

using namespace std::chrono_literals;
using Tivrand::Testing::LoopbackServer;
using Tivrand::Testing::RawSocketServer;

const QByteArray icon = pngBytes();

std::string iconAnswer()
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(icon.size()) + "\r\nConnection: close\r\n\r\n"
        + icon.toStdString();
}

// Counts the connections its servers answer at once, each from its request to just before its
// answer: never more than the client has on the wire.
struct Gauge {
    RawSocketServer::Behaviour answering(std::chrono::milliseconds delay)
    {
        return [this, delay](RawSocketServer::Connection& connection) {
            const int now = ++current;
            for (int seen = peak; now > seen && !peak.compare_exchange_weak(seen, now);) {
            }
            connection.idle(delay);
            --current;
            connection.send(iconAnswer());
        };
    }
    std::atomic<int> current{0};
    std::atomic<int> peak{0};
};

void expectAllSucceeded(const Outcomes& outcomes, int count)
{
    for (int i = 0; i < count; ++i) {
        const auto result = outcomes.at(i).value();
        EXPECT_EQ(errorCode(result), 0) << i << ": " << (result ? "" : result.error().description().toStdString());
    }
}

TEST_F(DownloaderTest, RedirectedRequestsWaitForASlotAtTheirNewHostAndNoneTimesOutWhileQueued)
{
    // Each answer comes after 400 ms, within the timeout; 24 requests through its six
    // connections take four rounds.
    RawSocketServer slow(RawSocketServer::respond(iconAnswer(), 400ms));
    LoopbackServer redirecting[2];
    for (auto& server : redirecting) {
        server.get(R"(/\d+)", [&](const httplib::Request& request, httplib::Response& response) {
            response.status = 302;
            const QUrl target = slow.url(QString::fromStdString("/redirected" + request.path));
            response.set_header("Location", target.toString().toStdString());
        });
        server.start();
    }
    downloader->setDownloadTimeout(0.8);
    for (int i = 0; i < 12; ++i) {
        downloader->downloadImage(slow.url(QStringLiteral("/direct/%1").arg(i)), optionsWith(), outcomes.handler());
        downloader->downloadImage(redirecting[i % 2].url(QStringLiteral("/%1").arg(i)), optionsWith(), outcomes.handler());
    }
    ASSERT_TRUE(outcomes.waitFor(24, 60s));
    expectAllSucceeded(outcomes, 24);
    EXPECT_EQ(slow.requests(), 24);
}

TEST_F(DownloaderTest, APerHostCapAboveQtsOwnConnectionsTimesNoRequestWhileItWaits)
{
    // Qt opens six connections to a host whatever the session allows; 24 answers of 400 ms
    // take four rounds, longer than the timeout.
    RawSocketServer slow(RawSocketServer::respond(iconAnswer(), 400ms));
    auto configuration = URLSessionConfiguration::ephemeral();
    configuration.httpMaximumConnectionsPerHost = 12;
    downloader->setSessionConfiguration(configuration);
    downloader->setDownloadTimeout(0.8);
    for (int i = 0; i < 24; ++i)
        downloader->downloadImage(slow.url(QStringLiteral("/%1.png").arg(i)), optionsWith(), outcomes.handler());
    ASSERT_TRUE(outcomes.waitFor(24, 60s));
    expectAllSucceeded(outcomes, 24);
}

TEST_F(DownloaderTest, TransfersAcrossManyHostsStayWithinTheSessionsConnectionCap)
{
    Gauge gauge;
    std::vector<std::unique_ptr<RawSocketServer>> hosts;
    for (int i = 0; i < 20; ++i)
        hosts.push_back(std::make_unique<RawSocketServer>(gauge.answering(30ms)));
    auto configuration = URLSessionConfiguration::ephemeral();
    configuration.maximumConnections = 8;
    downloader->setSessionConfiguration(configuration);
    constexpr int icons = 200;
    for (int i = 0; i < icons; ++i)
        downloader->downloadImage(hosts[i % hosts.size()]->url(QStringLiteral("/%1.png").arg(i)), optionsWith(),
                                  outcomes.handler());
    ASSERT_TRUE(outcomes.waitFor(icons, 60s));
    expectAllSucceeded(outcomes, icons);
    EXPECT_LE(gauge.peak, 8);
}

TEST_F(DownloaderTest, BodiesBeyondTheSessionsBudgetFailAndGiveTheirShareBack)
{
    constexpr qint64 budget = 16 << 20;
    auto configuration = URLSessionConfiguration::ephemeral();
    configuration.maximumBufferedBodyBytes = budget;
    downloader->setSessionConfiguration(configuration);
    const auto raw = optionsWith(std::make_shared<LivePhotoImageProcessor>());
    {
        RawSocketServer endless(RawSocketServer::endlessBody());
        for (int i = 0; i < 4; ++i)
            downloader->downloadImage(endless.url(QStringLiteral("/%1").arg(i)), raw, outcomes.handler());
        ASSERT_TRUE(outcomes.waitFor(4, 60s));
        for (int i = 0; i < 4; ++i) {
            const auto result = outcomes.at(i).value();
            EXPECT_EQ(sessionErrorCode(result), QNetworkReply::UnknownContentError);
            const QString description = result.error().description();
            EXPECT_TRUE(description.contains(QStringLiteral("budget of %1 bytes").arg(budget))
                        && description.contains(endless.url().toString()))
                << description.toStdString();
        }
    }
    // Bodies that fit together pass once the failed ones have given their bytes back.
    const std::string body(2 << 20, 'x');
    LoopbackServer server;
    server.get(R"(/\d+)", [&](const auto&, auto& response) { response.set_content(body, "application/octet-stream"); });
    server.start();
    Outcomes fitting;
    for (int i = 0; i < 12; ++i)
        downloader->downloadImage(server.url(QStringLiteral("/%1").arg(i)), raw, fitting.handler());
    ASSERT_TRUE(fitting.waitFor(12, 60s));
    expectAllSucceeded(fitting, 12);
    downloader->setSessionConfiguration(URLSessionConfiguration::ephemeral());
}

TEST_F(DownloaderTest, ATricklingBodyEndsAtTheResourceDeadlineThoughItIsNeverIdle)
{
    RawSocketServer trickling(RawSocketServer::trickle(1000, 50ms));
    auto configuration = URLSessionConfiguration::ephemeral();
    configuration.timeoutIntervalForResource = 1;
    downloader->setSessionConfiguration(configuration);
    const QUrl target = trickling.url(QStringLiteral("/icon.png"));
    const auto result = fetch(target, optionsWith(), 0.5);
    EXPECT_EQ(sessionErrorCode(result), QNetworkReply::TimeoutError);
    const QString description = result.error().description();
    EXPECT_TRUE(description.contains(QStringLiteral("deadline of 1 seconds")) && description.contains(target.toString()))
        << description.toStdString();
}

} // namespace
} // namespace Lumen::Testing
