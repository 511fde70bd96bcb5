#include "tests/lumen/download/DownloadTesting.h"

#include "Lumen/download/AnyImageModifier.h"
#include "Lumen/download/AnyModifier.h"
#include "Lumen/download/AnyRedirectHandler.h"
#include "Lumen/download/Session.h"
#include "Lumen/download/SessionDelegate.h"
#include "Lumen/download/URLSessionDataTask.h"
#include "Lumen/foundation/DispatchQueue.h"

#include <QPromise>

#include <unistd.h>

#include <atomic>
#include <barrier>
#include <thread>

namespace Lumen::Testing {
namespace {

using Tivrand::Testing::LoopbackServer;
using Tivrand::Testing::waitUntil;

const QByteArray redImage = pngBytes({8, 8}, Qt::red);
const QByteArray greenImage = pngBytes({8, 8}, Qt::green);
const QByteArray blueImage = pngBytes({8, 8}, Qt::blue);

QColor colorOf(const ImageDownloader::CompletionResult& result)
{
    return result && result->image ? result->image->bitmap().pixelColor(0, 0) : QColor();
}

void addImageRoutes(LoopbackServer& server)
{
    server.get("/image.png", [](const auto&, auto& response) { serveBytes(response, redImage); });
    server.get("/other.png", [](const auto&, auto& response) { serveBytes(response, greenImage); });
    server.get(R"(/status/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        response.status = std::stoi(request.matches[1]);
        // A challenge that a user and password answer.
        if (response.status == 401 && request.get_header_value("Authorization") == "Basic dXNlcjpwYXNz")
            response.status = 200;
        else if (response.status == 401)
            response.set_header("WWW-Authenticate", "Basic realm=\"lumen\"");
        serveBytes(response, redImage);
    });
}

class ImageDownloaderTest : public DownloaderTest {
protected:
    void SetUp() override
    {
        addImageRoutes(server);
        // A redirect has a body of its own, which is the answer when it is not followed.
        server.get(R"(/redirect/(\w+))", [](const httplib::Request& request, httplib::Response& response) {
            const std::map<std::string, std::string> targets{{"image", "/image.png"}, {"loop", "/redirect/loop"},
                {"file", "file:///etc/hostname"}};
            response.status = 302;
            response.set_header("Location", targets.at(request.matches[1]));
            serveBytes(response, blueImage);
        });
        server.get(R"(/big(-chunked)?)", [](const httplib::Request& request, httplib::Response& response) {
            const std::string body(1 << 20, 'x');
            if (request.matches[1].length() == 0)
                return response.set_content(body, "application/octet-stream");
            // No announced length: the limit is met while reading.
            response.set_chunked_content_provider("application/octet-stream", [body](size_t, httplib::DataSink& sink) {
                sink.write(body.data(), body.size());
                sink.done();
                return true;
            });
        });
        server.start();
        DownloaderTest::SetUp();
    }

    QUrl url(const QString& path) const { return server.url(path); }

    LoopbackServer server;
};

TEST_F(ImageDownloaderTest, CallersOfOneURLShareOneTransferAndEachIsAnsweredOnItsOwnQueue)
{
    const auto queue = DispatchQueue::makeSerial(QStringLiteral("test.a"));
    std::atomic<int> onOwnQueue{0};
    std::pair<qsizetype, qsizetype> progress;
    server.holdResponses("/image.png");
    auto onQueue = optionsWith();
    onQueue.callbackQueue = CallbackQueue::dispatch(*queue);
    downloader->downloadImage(url("/image.png"), onQueue, outcomes.handler([&] { onOwnQueue += queue->isCurrent(); }));
    downloader->downloadImage(url("/image.png"), optionsWith(),
                              outcomes.handler([&] { onOwnQueue += QThread::currentThread() == qApp->thread(); }));
    downloader->downloadImage(
        url("/image.png"), std::nullopt,
        [&](std::int64_t received, std::int64_t total) { progress = {received, total}; }, outcomes.handler());
    server.releaseResponses();
    ASSERT_TRUE(outcomes.waitFor(3));
    EXPECT_EQ(server.hits("/image.png"), 1);
    EXPECT_EQ(onOwnQueue, 2);
    // Progress is reported as the bytes arrive.
    EXPECT_TRUE(waitUntil([&] { return progress == std::pair(redImage.size(), redImage.size()); }));
}

TEST_F(ImageDownloaderTest, CancellingACallerAURLOrEverythingWithdrawsOnlyTheCallersConcerned)
{
    server.holdResponses("/image.png");
    const auto firstTask = downloader->downloadImage(url("/image.png"), optionsWith(), outcomes.handler());
    downloader->downloadImage(url("/image.png"), optionsWith(), outcomes.handler());
    firstTask->cancel();
    ASSERT_TRUE(outcomes.waitFor(1));
    server.releaseResponses();
    ASSERT_TRUE(outcomes.waitFor(2));
    EXPECT_EQ(colorOf(outcomes.at(1).value()), QColor(Qt::red));

    // The last caller's cancel ends the transfer.
    server.holdResponses("/image.png");
    const auto lastTask = downloader->downloadImage(url("/image.png"), optionsWith(), outcomes.handler());
    const auto transfer = lastTask->sessionTask()->task();
    lastTask->cancel();
    EXPECT_TRUE(waitUntil([&] { return transfer->state() == URLSessionDataTask::State::completed; }));

    server.holdResponses();
    Outcomes other;
    downloader->downloadImage(url("/image.png"), optionsWith(), outcomes.handler());
    downloader->downloadImage(url("/other.png"), optionsWith(), other.handler());
    downloader->cancel(url("/image.png"));
    // The second part's caller and this one.
    ASSERT_TRUE(outcomes.waitFor(4));
    EXPECT_FALSE(other.at(0));
    downloader->cancelAll();
    EXPECT_TRUE(other.waitFor(1));
}

TEST_F(ImageDownloaderTest, FirstCallersRacingForOneURLMakeOneTransfer)
{
    constexpr int callers = 8;
    server.holdResponses("/image.png");
    // Every round, all callers start together on a URL of their own.
    std::barrier start(callers);
    std::vector<std::jthread> threads;
    for (int i = 0; i < callers; ++i)
        threads.emplace_back([&] {
            for (int round = 0; round < 5; ++round) {
                start.arrive_and_wait();
                downloader->downloadImage(url(QStringLiteral("/image.png?round=%1").arg(round)), optionsWith(),
                                          outcomes.handler());
            }
        });
    threads.clear();
    server.releaseResponses();
    ASSERT_TRUE(outcomes.waitFor(5 * callers));
    EXPECT_EQ(server.hits("/image.png"), 5);
}

// Never answers a server-trust challenge; answers HTTP authentication with a user and password.
class Responder final : public AuthenticationChallengeResponsible {
public:
    QFuture<AuthChallengeAnswer> didReceiveChallenge(ImageDownloader&, const URLAuthenticationChallenge&) override
    {
        return pending.future();
    }
    QFuture<AuthChallengeAnswer> didReceiveTaskChallenge(ImageDownloader&, const std::shared_ptr<URLSessionDataTask>&,
                                                         const URLAuthenticationChallenge&) override
    {
        return QtFuture::makeReadyFuture(AuthChallengeAnswer{
            AuthChallengeDisposition::useCredential, URLCredential::withUser(QStringLiteral("user"), QStringLiteral("pass"))});
    }
    QPromise<AuthChallengeAnswer> pending;
};

TEST_F(ImageDownloaderTest, StatusCodesOutsideTwoHundredToThreeNinetyNineFailUnlessTheResponderAnswersAChallenge)
{
    // Without a responder, an authentication challenge is a plain 401.
    const std::pair<const char*, int> cases[] = {
        {"/status/200", 0}, {"/status/399", 0}, {"/status/400", 2002}, {"/status/404", 2002}, {"/status/401", 2002}};
    for (const auto& [path, expectedCode] : cases)
        EXPECT_EQ(errorCode(fetch(url(path))), expectedCode) << path;
    // A rejected transfer leaves the table, so the next request starts a new one.
    EXPECT_FALSE(downloader->sessionDelegate()->task(url("/status/404")));

    // The downloader keeps its responder weakly.
    const auto responder = std::make_shared<Responder>();
    downloader->setAuthenticationChallengeResponder(responder);
    EXPECT_EQ(errorCode(fetch(url("/status/401"))), 0);
}

class SteeringDelegate final : public ImageDownloaderDelegate {
public:
    std::optional<QByteArray> didDownloadDataForURL(ImageDownloader&, const QByteArray& data, const QUrl&) override
    {
        return rejectData ? std::nullopt : std::optional(data);
    }
    bool isValidStatusCode(int code, ImageDownloader&) override { return code == acceptedStatus; }
    QFuture<ResponseDisposition> didReceiveResponse(ImageDownloader&, const URLResponse&) override
    {
        return disposition ? QtFuture::makeReadyFuture(*disposition) : pending.future();
    }

    bool rejectData = false;
    int acceptedStatus = 200;
    // None: the response is never answered.
    std::optional<ResponseDisposition> disposition = ResponseDisposition::allow;
    QPromise<ResponseDisposition> pending;
};

TEST_F(ImageDownloaderTest, RedirectsAreFollowedChangedOrRefusedAndOnlyToHTTP)
{
    const auto toOther = std::make_shared<AnyRedirectHandler>([this](auto&, auto&, URLRequest request, auto done) {
        request.url = url("/other.png");
        done(request);
    });
    const auto refusing = std::make_shared<AnyRedirectHandler>([](auto&, auto&, auto&, auto done) {
        // Answered later, from another thread; the second answer is ignored.
        std::thread([done] {
            done(std::nullopt);
            done(URLRequest(QUrl(QStringLiteral("http://127.0.0.1:1/"))));
        }).detach();
    });
    // Keeps its completions without ever calling them.
    auto kept = std::make_shared<std::vector<AnyRedirectHandler::Completion>>();
    const auto silent = std::make_shared<AnyRedirectHandler>(
        [kept](auto&, auto&, auto&, AnyRedirectHandler::Completion done) { kept->push_back(std::move(done)); });
    const struct { const char* path; std::shared_ptr<const ImageDownloadRedirectHandler> handler; QColor color;
        std::optional<QNetworkReply::NetworkError> sessionError; } cases[] = {
        {"/redirect/image", nullptr, Qt::red, std::nullopt},
        {"/redirect/image", toOther, Qt::green, std::nullopt},
        {"/redirect/image", refusing, Qt::blue, std::nullopt},
        {"/redirect/image", silent, QColor(), QNetworkReply::TimeoutError},
        {"/redirect/file", nullptr, QColor(), QNetworkReply::InsecureRedirectError},
        {"/redirect/loop", nullptr, QColor(), QNetworkReply::TooManyRedirectsError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto options = optionsWith();
        options.redirectHandler = c.handler;
        const auto result = fetch(url(c.path), options, c.handler == silent ? 0.5 : 15);
        EXPECT_EQ(colorOf(result), c.color);
        EXPECT_EQ(sessionErrorCode(result), c.sessionError);
    }
    EXPECT_EQ(server.hits("/redirect/loop"), 17);
}

TEST_F(ImageDownloaderTest, ASelfSignedServerIsTrustedOnlyForATrustedHost)
{
    LoopbackServer secure(LoopbackServer::Scheme::https);
    addImageRoutes(secure);
    secure.start();
    const auto silent = std::make_shared<Responder>();
    const QSet<QString> loopback{QStringLiteral("127.0.0.1")};
    const struct { std::optional<QSet<QString>> trustedHosts; std::shared_ptr<AuthenticationChallengeResponsible> responder;
        std::optional<QNetworkReply::NetworkError> sessionError; } cases[] = {
        {std::nullopt, downloader, QNetworkReply::SslHandshakeFailedError},
        {QSet<QString>{QStringLiteral("localhost")}, downloader, QNetworkReply::SslHandshakeFailedError},
        {loopback, downloader, std::nullopt},
        {loopback, silent, QNetworkReply::TimeoutError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sessionError.value_or(QNetworkReply::NoError));
        // A fresh session, so no connection trusted before is reused.
        downloader->setSessionConfiguration(URLSessionConfiguration::ephemeral());
        downloader->setTrustedHosts(c.trustedHosts);
        downloader->setAuthenticationChallengeResponder(c.responder);
        const auto result = fetch(secure.url(QStringLiteral("/image.png")), optionsWith(), c.responder == silent ? 0.5 : 15);
        EXPECT_EQ(sessionErrorCode(result), c.sessionError);
    }
    // Closes the session's connections, so the server need not wait for them to time out.
    downloader->setSessionConfiguration(URLSessionConfiguration::ephemeral());
}

TEST_F(ImageDownloaderTest, ABodyOverTheLimitFailsAndALowDataModeSourceKeepsRequestsOffAConstrainedNetwork)
{
    auto configuration = URLSessionConfiguration::ephemeral();
    configuration.maximumResponseBodySize = 64 * 1024;
    configuration.isNetworkConstrained = [] { return true; };
    downloader->setSessionConfiguration(configuration);
    for (const char* path : {"/big", "/big-chunked"})
        EXPECT_EQ(sessionErrorCode(fetch(url(path))), QNetworkReply::UnknownContentError) << path;

    auto options = optionsWith();
    options.lowDataModeSource = Source::network(LM::ImageResource(url("/other.png"), QStringLiteral("key")));
    EXPECT_TRUE(fetch(url("/image.png"), options).error().isLowDataModeConstrained());
    EXPECT_EQ(errorCode(fetch(url("/other.png"))), 0);
}

TEST_F(ImageDownloaderTest, WaitingCallersFailWhenTheDownloaderGoesOrItsSessionIsReplaced)
{
    server.holdResponses("/image.png");
    downloader->downloadImage(url("/image.png"), optionsWith(), outcomes.handler());
    downloader->setSessionConfiguration(URLSessionConfiguration::ephemeral());
    ASSERT_TRUE(outcomes.waitFor(1));
    downloader->downloadImage(url("/image.png"), optionsWith(), outcomes.handler());
    downloader.reset();
    ASSERT_TRUE(outcomes.waitFor(2));
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_EQ(sessionErrorCode(outcomes.at(i).value()), QNetworkReply::OperationCanceledError) << i;
}

// The application's end ends every session, on the session's own thread, before the statics go:
// a transfer still running is cancelled, and (under LeakSanitizer) the exit finds nothing of the
// session left. The default downloader lives on past that end the same way this one does.
TEST_F(ImageDownloaderTest, TheApplicationsEndCancelsTheTransfersOfASessionStillInUse)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            server.holdResponses("/image.png");
            auto options = optionsWith();
            options.callbackQueue = CallbackQueue::untouch();
            downloader->downloadImage(url("/image.png"), options, outcomes.handler());
            waitUntil([&] { return server.hits("/image.png") == 1; });
            // What returning from main would do first.
            QCoreApplication::instance()->~QCoreApplication();
            const auto outcome = outcomes.at(0);
            std::exit(outcome && sessionErrorCode(*outcome) == QNetworkReply::OperationCanceledError ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Answers only when told to.
class GatedModifier final : public AsyncImageDownloadRequestModifier {
public:
    GatedModifier() { promise.start(); }
    QFuture<std::optional<URLRequest>> modified(const URLRequest&) const override { return promise.future(); }
    std::function<void(std::shared_ptr<DownloadTask>)> onDownloadTaskStarted() const override { return {}; }
    void answer(const URLRequest& request)
    {
        promise.addResult(std::optional(request));
        promise.finish();
    }
    QPromise<std::optional<URLRequest>> promise;
};

// Counts the transfers that start.
class StartCounter final : public ImageDownloaderDelegate {
public:
    void willDownloadImage(ImageDownloader&, const QUrl&, const std::optional<URLRequest>&) override { ++starts; }
    std::atomic<int> starts = 0;
};

TEST_F(ImageDownloaderTest, ACancelBeforeTheAsyncModifierAnsweredWithdrawsTheCaller)
{
    const auto counter = std::make_shared<StartCounter>();
    downloader->setDelegate(counter);
    const auto modifier = std::make_shared<GatedModifier>();
    auto options = optionsWith();
    options.requestModifier = modifier;
    const auto task = downloader->downloadImage(url("/image.png"), options, outcomes.handler());
    task->cancel();
    modifier->answer(URLRequest(url("/image.png")));
    ASSERT_TRUE(outcomes.waitFor(1));
    EXPECT_TRUE(outcomes.at(0)->error().isTaskCancelled());
    // A later transfer through the same session has gone out and come back: one posted
    // before it would have reached the server by now.
    downloader->downloadImage(url("/other.png"), optionsWith(), outcomes.handler());
    ASSERT_TRUE(outcomes.waitFor(2));
    EXPECT_EQ(server.hits("/image.png"), 0);
    EXPECT_EQ(counter->starts, 1);
}

// A subclass changes how a download starts; options whose processor was cleared decode as the
// default processor does.
class HeaderAddingDownloader final : public ImageDownloader {
public:
    explicit HeaderAddingDownloader(QString name) : ImageDownloader(std::move(name)) {}

    std::atomic<int> registrations = 0;

protected:
    std::shared_ptr<DownloadTask> addDownloadTask(const DownloadingContext& context,
                                                  SessionDataTask::TaskCallback callback) override
    {
        ++registrations;
        return ImageDownloader::addDownloadTask(context, std::move(callback));
    }

    void createDownloadContext(const QUrl& url, const LumenParsedOptionsInfo& options,
                               std::function<void(std::expected<DownloadingContext, LumenError>)> done) override
    {
        ImageDownloader::createDownloadContext(url, options, [done](std::expected<DownloadingContext, LumenError> context) {
            if (context)
                context->request.setValue(QByteArray("yes"), "X-Subclass");
            done(std::move(context));
        });
    }
};

TEST_F(ImageDownloaderTest, ASubclassShapesTheRequestAndAClearedProcessorFallsBackToTheDefault)
{
    // In place of the fixture's, which the tear-down waits for.
    const auto subclass = ImageDownloader::make<HeaderAddingDownloader>(QStringLiteral("subclass"));
    downloader = subclass;
    auto options = optionsWith();
    options.processor = nullptr;
    server.holdResponses("/image.png");
    downloader->downloadImage(url("/image.png"), options, outcomes.handler());
    downloader->downloadImage(url("/image.png"), optionsWith(), outcomes.handler());
    server.releaseResponses();
    ASSERT_TRUE(outcomes.waitFor(2));
    EXPECT_EQ(colorOf(*outcomes.at(0)), QColor(Qt::red));
    EXPECT_EQ(server.requests().back().header("X-Subclass"), "yes");
    EXPECT_EQ(subclass->registrations, 2);
    EXPECT_EQ(server.hits("/image.png"), 1);
}

// The delegate and the request modifier each can refuse a transfer, each with its own error code.
TEST_F(ImageDownloaderTest, TheDelegateAndRequestModifiersSteerEachTransfer)
{
    const auto addHeader = std::make_shared<AnyModifier>([](URLRequest request) {
        request.setValue(QByteArray("yes"), "X-Lumen-Test");
        return std::optional(request);
    });
    const auto veto = std::make_shared<AnyModifier>([](const URLRequest&) { return std::nullopt; });
    const auto clearURL = std::make_shared<AnyModifier>([](URLRequest request) {
        request.url = QUrl();
        return std::optional(request);
    });
    const auto none = [](SteeringDelegate&) {};
    // A row that times out never had an answer.
    const struct { const char* name; std::function<void(SteeringDelegate&)> steer;
        std::shared_ptr<const AsyncImageDownloadRequestModifier> modifier; int expectedCode; bool timesOut; } cases[] = {
        {"defaults", none, nullptr, 0, false},
        {"rejected data", [](SteeringDelegate& d) { d.rejectData = true; }, nullptr, 2004, false},
        {"rejected status", [](SteeringDelegate& d) { d.acceptedStatus = 201; }, nullptr, 2002, false},
        {"cancelled response", [](SteeringDelegate& d) { d.disposition = ResponseDisposition::cancel; }, nullptr, 2006, false},
        {"response never answered", [](SteeringDelegate& d) { d.disposition = std::nullopt; }, nullptr, 2003, true},
        {"header", none, addHeader, 0, false},
        {"veto", none, veto, 1001, false},
        {"no URL", none, clearURL, 1002, false},
        {"modifier never answered", none, std::make_shared<GatedModifier>(), 2003, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto delegate = std::make_shared<SteeringDelegate>();
        c.steer(*delegate);
        downloader->setDelegate(delegate);
        auto options = optionsWith();
        options.requestModifier = c.modifier;
        const auto result = fetch(url("/image.png"), options, c.timesOut ? 0.3 : 15);
        EXPECT_EQ(errorCode(result), c.expectedCode);
        EXPECT_EQ(sessionErrorCode(result) == QNetworkReply::TimeoutError, c.timesOut);
    }
    EXPECT_EQ(server.requests().at(5).header("X-Lumen-Test"), "yes");
    // The downloader asks a synchronous modifier directly; its future form must give the same answer,
    // and field names match in any case.
    EXPECT_EQ(addHeader->modified(URLRequest(url("/a"))).result()->valueForHTTPHeaderField("x-lumen-test"), "yes");
}

TEST_F(ImageDownloaderTest, FutureFormsFinishAndCancelTheirDownload)
{
    auto done = downloader->downloadImageAsync(url("/image.png"));
    EXPECT_TRUE(waitUntil([&] { return done.isFinished() && colorOf(done.result()) == Qt::red; }));

    server.holdResponses("/other.png");
    auto cancelled = downloader->downloadImageAsync(url("/other.png"));
    ASSERT_TRUE(waitUntil([&] { return server.hits("/other.png") == 1; }));
    cancelled.cancel();
    EXPECT_TRUE(waitUntil([&] { return !downloader->sessionDelegate()->task(url("/other.png")); }));
}

TEST(AnyImageModifier, AFailingBlockLeavesTheVeryImage)
{
    const auto image = Image::make(QImage(2, 2, QImage::Format_ARGB32));
    const auto replacement = Image::make(QImage(1, 1, QImage::Format_ARGB32));
    EXPECT_EQ(AnyImageModifier([](const ImagePtr&) { return std::unexpected(QStringLiteral("no")); }).modify(image), image);
    EXPECT_EQ(AnyImageModifier([&](const ImagePtr&) { return replacement; }).modify(image), replacement);
}

TEST(ImageDownloaderNaming, AnEmptyNameStopsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The message goes to standard output; the death test reads standard error.
    EXPECT_DEATH(
        {
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
            ImageDownloader::make(QString());
        },
        "specify a name for the downloader");
}

} // namespace
} // namespace Lumen::Testing
