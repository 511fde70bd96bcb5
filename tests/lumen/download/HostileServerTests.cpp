#include "tests/lumen/download/DownloadTesting.h"

#include "Lumen/download/AnyModifier.h"
#include "Lumen/download/DownloadTask.h"
#include "Lumen/download/SessionDataTask.h"
#include "Lumen/download/URLSessionDataTask.h"
#include "Lumen/foundation/processors/LivePhotoImageProcessor.h"
#include "tests/support/QtMessages.h"
#include "tests/support/RawSocketServer.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <atomic>
#include <thread>

namespace Lumen::Testing {
namespace {

using namespace std::chrono_literals;
using Tivrand::Testing::LoopbackServer;
using Tivrand::Testing::RawSocketServer;
using Tivrand::Testing::waitUntil;

const QByteArray image = pngBytes();

std::string answer(int status, const std::string& headers, const QByteArray& body)
{
    return "HTTP/1.1 " + std::to_string(status) + " Answer\r\n" + headers + "Content-Length: "
        + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body.toStdString();
}

// Accepts one status beyond the usual 200 to 399.
class AcceptingDelegate final : public ImageDownloaderDelegate {
public:
    explicit AcceptingDelegate(int accepted)
        : accepted(accepted)
    {
    }
    bool isValidStatusCode(int code, ImageDownloader&) override { return code == accepted || (code >= 200 && code < 400); }
    const int accepted;
};

TEST_F(DownloaderTest, ASilentServerTimesOutWithATimeoutThatNamesTheURL)
{
    RawSocketServer silent(RawSocketServer::silent());
    const auto result = fetch(silent.url(QStringLiteral("/icon.png")), optionsWith(), 0.3);
    EXPECT_EQ(sessionErrorCode(result), QNetworkReply::TimeoutError);
    const QString description = result.error().description();
    EXPECT_TRUE(description.contains(QStringLiteral("timed out")) && description.contains(QStringLiteral("/icon.png")))
        << description.toStdString();
}

TEST_F(DownloaderTest, TransfersWaitingForAConnectionToTheirHostAreNotTimed)
{
    // Fourteen rounds of 250 ms through six connections take longer than the timeout.
    RawSocketServer slow(RawSocketServer::respond(answer(200, {}, image), 250ms));
    downloader->setDownloadTimeout(3.0);
    constexpr int icons = 6 * 14;
    for (int i = 0; i < icons; ++i)
        downloader->downloadImage(slow.url(QStringLiteral("/%1.png").arg(i)), optionsWith(), outcomes.handler());
    ASSERT_TRUE(outcomes.waitFor(icons, 60s));
    for (int i = 0; i < icons; ++i)
        EXPECT_EQ(errorCode(outcomes.at(i).value()), 0) << i;
}

TEST_F(DownloaderTest, ALoweredPriorityLetsLaterRequestsToItsHostGoFirst)
{
    LoopbackServer server;
    server.get(R"(/\w+\.png)", [](const auto&, auto& response) { serveBytes(response, image); });
    server.start();
    auto configuration = URLSessionConfiguration::ephemeral();
    configuration.httpMaximumConnectionsPerHost = 1;
    downloader->setSessionConfiguration(configuration);
    server.holdResponses();
    downloader->downloadImage(server.url(QStringLiteral("/first.png")), optionsWith(), outcomes.handler());
    ASSERT_TRUE(waitUntil([&] { return server.totalHits() == 1; }));
    const auto lowered = downloader->downloadImage(server.url(QStringLiteral("/lowered.png")), optionsWith(), outcomes.handler());
    downloader->downloadImage(server.url(QStringLiteral("/later.png")), optionsWith(), outcomes.handler());
    lowered->sessionTask()->task()->setPriority(0.1f);
    server.releaseResponses();
    ASSERT_TRUE(outcomes.waitFor(3));
    std::vector<std::string> order;
    for (const auto& request : server.requests())
        order.push_back(request.path);
    EXPECT_EQ(order, (std::vector<std::string>{"/first.png", "/later.png", "/lowered.png"}));
    // Closes the session's connections, so the server need not wait for them to time out.
    downloader->setSessionConfiguration(URLSessionConfiguration::ephemeral());
}

TEST_F(DownloaderTest, AnEndlessBodyFailsAtTheCapWithoutDeliveringMore)
{
    RawSocketServer endless(RawSocketServer::endlessBody());
    constexpr qint64 cap = 1 << 20;
    auto configuration = URLSessionConfiguration::ephemeral();
    configuration.maximumResponseBodySize = cap;
    downloader->setSessionConfiguration(configuration);
    std::atomic<std::int64_t> received{0};
    downloader->downloadImage(
        endless.url(), std::nullopt, [&](std::int64_t bytes, std::int64_t) { received = std::max<std::int64_t>(received, bytes); },
        outcomes.handler());
    ASSERT_TRUE(outcomes.waitFor(1, 30s));
    EXPECT_EQ(sessionErrorCode(outcomes.at(0).value()), QNetworkReply::UnknownContentError);
    EXPECT_LE(received, cap);
}

std::string chunked(const QByteArray& body, qsizetype chunkSize)
{
    std::string encoded = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    for (qsizetype at = 0; at < body.size(); at += chunkSize) {
        const QByteArray chunk = body.mid(at, chunkSize);
        encoded += QByteArray::number(chunk.size(), 16).toStdString() + "\r\n" + chunk.toStdString() + "\r\n";
    }
    return encoded + "0\r\n\r\n";
}

TEST_F(DownloaderTest, BodiesBeyondQtsReadAheadArriveWholeAndUnaltered)
{
    // Random, so a chunk lost, doubled or moved shows; three times what Qt reads ahead.
    QByteArray body(3 << 20, Qt::Uninitialized);
    QRandomGenerator(25).fillRange(reinterpret_cast<quint32*>(body.data()), body.size() / 4);
    // Inflates to far more than its announced length.
    const QByteArray inflatable = body + QByteArray(8 << 20, '\0');
    const struct { const char* name; std::string response; const QByteArray& expected; } cases[] = {
        {"with its length", answer(200, {}, body), body},
        {"ended by the close", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body.toStdString(), body},
        {"chunked", chunked(body, 100'000), body},
        {"deflated", answer(200, "Content-Encoding: deflate\r\n", qCompress(inflatable).mid(4)), inflatable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawSocketServer server(RawSocketServer::respond(c.response));
        const auto result = fetch(server.url(), optionsWith(std::make_shared<LivePhotoImageProcessor>()));
        ASSERT_TRUE(result.has_value()) << result.error().description().toStdString();
        EXPECT_EQ(result->originalData.size(), c.expected.size());
        EXPECT_TRUE(result->originalData == c.expected);
    }
}

TEST_F(DownloaderTest, BrokenAnswersAreJudgedAsTheyStand)
{
    const struct { const char* name; std::string response; int accepted; std::optional<QNetworkReply::NetworkError> sessionError; } cases[] = {
        {"302 without Location", answer(302, {}, image), 0, std::nullopt},
        {"gzip that does not inflate", answer(200, "Content-Encoding: gzip\r\n", "not gzip at all"), 0, QNetworkReply::UnknownContentError},
        {"400 accepted", answer(400, {}, image), 400, std::nullopt},
        {"407 accepted", answer(407, {}, image), 407, std::nullopt},
        {"418 accepted", answer(418, {}, image), 418, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawSocketServer server(RawSocketServer::respond(c.response));
        const auto delegate = std::make_shared<AcceptingDelegate>(c.accepted);
        downloader->setDelegate(delegate);
        const auto result = fetch(server.url());
        EXPECT_EQ(sessionErrorCode(result), c.sessionError);
        EXPECT_EQ(errorCode(result), c.sessionError ? 2003 : 0);
        EXPECT_EQ(server.requests(), 1);
    }
}

TEST_F(DownloaderTest, FailuresNameTheURLTheyHappenedAt)
{
    constexpr qint64 cap = 64 << 10;
    auto configuration = URLSessionConfiguration::ephemeral();
    configuration.maximumResponseBodySize = cap;
    downloader->setSessionConfiguration(configuration);
    const struct { const char* name; std::string response; int code; } cases[] = {
        {"bytes that are no image", answer(200, {}, "not an image"), 4001},
        {"a body above the cap", answer(200, {}, QByteArray(cap + 1, 'x')), 2003},
        {"a redirect to itself", answer(302, "Location: /icon.png\r\n", {}), 2003},
        {"a refused status", answer(404, {}, image), 2002},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawSocketServer server(RawSocketServer::respond(c.response));
        const QUrl target = server.url(QStringLiteral("/icon.png"));
        const auto result = fetch(target);
        EXPECT_EQ(errorCode(result), c.code);
        if (!result) {
            const QString description = result.error().description();
            EXPECT_TRUE(description.contains(target.toString(QUrl::FullyEncoded))) << description.toStdString();
        }
    }
}

TEST_F(DownloaderTest, OnlyHTTPAndHTTPSURLsAreFetchedAndNothingIsAbortedTwice)
{
    Tivrand::Testing::QtMessages messages;
    // Opening a FIFO would wait for a writer that never comes.
    QTemporaryDir directory;
    const QString fifo = directory.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QUrl& target : {QUrl::fromLocalFile(fifo), QUrl(QStringLiteral("ftp://127.0.0.1/a.png")),
                               QUrl(QStringLiteral("data:image/png;base64,AAAA"))})
        EXPECT_EQ(sessionErrorCode(fetch(target)), QNetworkReply::ProtocolUnknownError) << target.toString().toStdString();
    EXPECT_EQ(messages.count(QStringLiteral("only be called once")), 0);
}

TEST_F(DownloaderTest, RejectingAndCancellingHundredsOfFailingLoadsMakesQtWarnOfNothing)
{
    LoopbackServer server;
    server.get(R"(/missing/\d+)", [](const auto&, auto& response) {
        response.status = 404;
        serveBytes(response, image);
    });
    server.start();
    Tivrand::Testing::QtMessages messages;
    constexpr int loads = 400;
    std::vector<std::shared_ptr<DownloadTask>> tasks;
    for (int i = 0; i < loads; ++i)
        tasks.push_back(downloader->downloadImage(server.url(QStringLiteral("/missing/%1").arg(i)), optionsWith(),
                                                  outcomes.handler()));
    // Every other load is cancelled while the loads run: some on the wire, some at their answer.
    std::jthread canceller([&] {
        for (int i = 1; i < loads; i += 2) {
            tasks[std::size_t(i)]->cancel();
            std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(outcomes.waitFor(loads, 60s));
    canceller.join();
    // An error Qt had queued for a dropped reply would come after its transfer's end: let it.
    Tivrand::Testing::pumpEvents(200ms);
    EXPECT_EQ(messages.count(QStringLiteral("only be called once")), 0) << messages.all().join('\n').toStdString();
}

TEST_F(DownloaderTest, CredentialsDoNotFollowARedirectToAnotherOrigin)
{
    LoopbackServer other;
    other.get("/image.png", [](const auto&, auto& response) { serveBytes(response, image); });
    other.start();
    LoopbackServer origin;
    origin.get("/away", [&](const auto&, auto& response) {
        response.status = 302;
        response.set_header("Location", other.url(QStringLiteral("/image.png")).toString().toStdString());
    });
    origin.start();
    auto options = optionsWith();
    options.requestModifier = std::make_shared<AnyModifier>([](URLRequest request) {
        for (const char* field : {"Authorization", "Cookie", "X-Trace"})
            request.setValue(QByteArray("secret"), field);
        return std::optional(request);
    });
    EXPECT_EQ(errorCode(fetch(origin.url(QStringLiteral("/away")), options)), 0);
    EXPECT_EQ(origin.requests().at(0).header("Authorization"), "secret");
    const auto seen = other.requests().at(0);
    EXPECT_EQ(seen.header("Authorization") + seen.header("Cookie"), "");
    EXPECT_EQ(seen.header("X-Trace"), "secret");
    downloader->setSessionConfiguration(URLSessionConfiguration::ephemeral());
}

} // namespace
} // namespace Lumen::Testing
