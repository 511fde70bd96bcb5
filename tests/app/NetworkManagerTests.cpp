#include "TivrandApp/services/NetworkManager.h"

#include "tests/support/EventLoop.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonObject>
#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

using namespace Tivrand;
using namespace std::chrono_literals;
using Testing::waitUntil;

namespace {

class TestEndpoint final : public Endpoint {
public:
    explicit TestEndpoint(QUrl base, HttpMethod method = HttpMethod::get, QByteArray body = {})
        : m_base(std::move(base)), m_method(method), m_body(std::move(body))
    {
    }
    QUrl baseUrl() const override { return m_base; }
    QString path() const override { return "/answer"; }
    HttpMethod method() const override { return m_method; }
    QList<std::pair<QString, QString>> parameters() const override { return {{"q", "a b"}}; }
    QByteArray body() const override { return m_body; }
    QList<std::pair<QByteArray, QByteArray>> headers() const override { return {{"Content-Type", "application/json"}}; }

private:
    QUrl m_base;
    HttpMethod m_method;
    QByteArray m_body;
};

struct AnyObject {
    QJsonObject object;
    static std::optional<AnyObject> fromJson(const QJsonValue& json)
    {
        return json.isObject() ? std::optional<AnyObject>(AnyObject{json.toObject()}) : std::nullopt;
    }
};

using Result = std::expected<AnyObject, NetworkError>;

// The completions of one request and how they were delivered.
struct Outcome {
    int calls = 0;
    bool onGuiThread = false;
    bool afterTheCall = false;
    std::optional<Result> result;
};

std::shared_ptr<Outcome> send(NetworkManager& manager, const Endpoint& endpoint)
{
    auto outcome = std::make_shared<Outcome>();
    auto returned = std::make_shared<bool>(false);
    manager.request<AnyObject>(endpoint, [outcome, returned](Result result) {
        ++outcome->calls;
        outcome->onGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        outcome->afterTheCall = *returned;
        outcome->result = std::move(result);
    });
    *returned = true;
    return outcome;
}

// Waits for the completion and checks that it came once, later, on the GUI thread.
Result settle(const Outcome& outcome)
{
    EXPECT_TRUE(waitUntil([&] { return outcome.calls > 0; }, 15s));
    Testing::pumpEvents(100ms);
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_TRUE(outcome.onGuiThread);
    EXPECT_TRUE(outcome.afterTheCall);
    return outcome.result.value_or(std::unexpected(NetworkError{}));
}

NetworkError errorOf(const Result& result)
{
    EXPECT_FALSE(result.has_value());
    return result ? NetworkError{} : result.error();
}

// A server answering GET /answer as the test last said; POST /answer redirects to /moved, which
// echoes the method and body.
struct NetworkManagerTest : ::testing::Test {
    std::mutex mutex;
    int status = 200;
    std::string body = "{}";
    std::string contentType = "application/json";
    bool chunked = false; // sent without announcing its length
    std::atomic<int> postRedirect = 307;
    Testing::LoopbackServer server;
    NetworkManager manager;

    void SetUp() override
    {
        server.get("/answer", [this](const httplib::Request&, httplib::Response& response) {
            std::lock_guard lock(mutex);
            response.status = status;
            if (!chunked) {
                response.set_content(body, contentType);
                return;
            }
            response.set_chunked_content_provider(contentType, [body = body](std::size_t offset, httplib::DataSink& sink) {
                const std::size_t length = std::min<std::size_t>(1 << 20, body.size() - offset);
                sink.write(body.data() + offset, length);
                if (offset + length == body.size())
                    sink.done();
                return true;
            });
        });
        const auto echo = [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(R"({"method": ")" + request.method + R"(", "body": ")" + request.body + "\"}",
                                 "application/json");
        };
        server.post("/answer", [this](const httplib::Request&, httplib::Response& response) {
            response.status = postRedirect;
            response.set_header("Location", "/moved");
        });
        server.get("/moved", echo);
        server.post("/moved", echo);
        server.start();
    }

    void answer(int newStatus, std::string newBody)
    {
        std::lock_guard lock(mutex);
        status = newStatus;
        body = std::move(newBody);
    }
};

} // namespace

TEST_F(NetworkManagerTest, TheAnswerIsDecodedOnTheGuiThreadWhicheverThreadAsked)
{
    answer(200, R"({"answer": 42})");
    const TestEndpoint endpoint(server.url());
    std::shared_ptr<Outcome> outcome;
    std::thread([&] { outcome = send(manager, endpoint); }).join();
    const Result got = settle(*outcome);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->object.value("answer").toInt(), 42);
    EXPECT_EQ(server.requests().at(0).target, "/answer?q=a%20b");
}

TEST_F(NetworkManagerTest, BadStatusesBodiesConnectionsAndUrlsAreErrorsDeliveredLater)
{
    QUrl closed;
    {
        Testing::LoopbackServer gone;
        gone.start();
        closed = gone.url();
    }
    const struct {
        QUrl url;
        int status;
        const char* body;
        const char* domain;
        int code;
    } cases[] = {
        {server.url(), 404, R"({"errors": []})", "NetworkManager", 404},
        {server.url(), 200, "[1, 2]", "NetworkManager", NetworkError::decodingFailed},
        {server.url(), 200, R"({"cut": )", "NetworkManager", NetworkError::decodingFailed},
        {closed, 200, "{}", "NetworkManager", NetworkError::transportFailed},
        {QUrl("file:///etc/hosts"), 200, "{}", "Endpoint", NetworkError::invalidUrl},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.code);
        answer(each.status, each.body);
        const NetworkError error = errorOf(settle(*send(manager, TestEndpoint(each.url))));
        EXPECT_EQ(error.domain, each.domain);
        EXPECT_EQ(error.code, each.code);
    }
}

TEST_F(NetworkManagerTest, AnAnswerLongerThan32MiBIsRefused)
{
    contentType = "application/octet-stream"; // sent as it is, not compressed
    for (const auto& [size, withoutLength] : {std::pair{NetworkManager::maxBodySize, false},
                                              {NetworkManager::maxBodySize + 1, false},
                                              {NetworkManager::maxBodySize + 1, true}}) {
        SCOPED_TRACE(withoutLength ? "chunked" : "announced");
        chunked = withoutLength;
        std::string padded = "{}"; // JSON allows the spaces after it
        padded.resize(std::size_t(size), ' ');
        answer(200, std::move(padded));
        const Result got = settle(*send(manager, TestEndpoint(server.url())));
        if (size == NetworkManager::maxBodySize) {
            EXPECT_TRUE(got.has_value());
            continue;
        }
        EXPECT_EQ(errorOf(got), (NetworkError{"NetworkManager", NetworkError::responseTooLarge, "response too large"}));
    }
}

TEST_F(NetworkManagerTest, ARedirectWhoseBodyIsRefusedIsNotFollowed)
{
    Testing::LoopbackServer redirecting;
    redirecting.get("/answer", [](const httplib::Request&, httplib::Response& response) {
        response.status = 302;
        response.set_header("Location", "/moved");
        response.set_content(std::string(std::size_t(NetworkManager::maxBodySize) + 1, ' '), "application/octet-stream");
    });
    redirecting.get("/moved", [](const httplib::Request&, httplib::Response& response) { response.set_content("{}", "application/json"); });
    redirecting.start();
    EXPECT_EQ(errorOf(settle(*send(manager, TestEndpoint(redirecting.url())))).code, NetworkError::responseTooLarge);
    EXPECT_EQ(redirecting.hits("/moved"), 0);
}

TEST_F(NetworkManagerTest, ASilentServerTimesOutAndDestroyingTheManagerCompletesRunningRequestsOnce)
{
    server.holdResponses();
    NetworkManager impatient(50ms);
    EXPECT_EQ(errorOf(settle(*send(impatient, TestEndpoint(server.url())))).code, NetworkError::timedOut);

    auto doomed = std::make_unique<NetworkManager>();
    const auto running = send(*doomed, TestEndpoint(server.url()));
    ASSERT_TRUE(waitUntil([&] { return server.totalHits() == 2; }));
    const auto notStarted = send(*doomed, TestEndpoint(server.url()));
    doomed.reset();
    server.releaseResponses();
    EXPECT_EQ(errorOf(settle(*running)).code, NetworkError::cancelled);
    EXPECT_EQ(errorOf(settle(*notStarted)).code, NetworkError::cancelled);
}

TEST_F(NetworkManagerTest, RedirectedPostsRepeatTheirBodyOnlyFor307And308)
{
    for (const int redirect : {303, 307}) {
        SCOPED_TRACE(redirect);
        postRedirect = redirect;
        const Result got = settle(*send(manager, TestEndpoint(server.url(), HttpMethod::post, "payload")));
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->object.value("method").toString(), redirect == 307 ? "POST" : "GET");
        EXPECT_EQ(got->object.value("body").toString(), redirect == 307 ? "payload" : "");
    }
}
