#include "TivrandApp/services/NetworkManager.h"

#include "tests/support/EventLoop.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonObject>
#include <QThread>

#include <memory>
#include <optional>
#include <thread>

using namespace Tivrand;
using namespace std::chrono_literals;
using Testing::LoopbackServer;
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

void answer(LoopbackServer& server, int status, std::string body)
{
    server.get("/answer", [status, body](const httplib::Request&, httplib::Response& response) {
        response.status = status;
        response.set_content(body, "application/json");
    });
}

} // namespace

TEST(NetworkManager, GetAndPostDecodeTheAnswer)
{
    LoopbackServer server;
    answer(server, 200, R"({"answer": 42})");
    server.post("/answer", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content(R"({"echo": ")" + request.body + "\"}", "application/json");
    });
    server.start();
    NetworkManager manager;

    const Result got = settle(*send(manager, TestEndpoint(server.url())));
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->object.value("answer").toInt(), 42);
    EXPECT_EQ(server.requests().at(0).target, "/answer?q=a%20b");

    const Result posted = settle(*send(manager, TestEndpoint(server.url(), HttpMethod::post, "payload")));
    ASSERT_TRUE(posted.has_value());
    EXPECT_EQ(posted->object.value("echo").toString(), "payload");
    EXPECT_EQ(server.requests().at(1).method, "POST");
    EXPECT_EQ(server.requests().at(1).header("Content-Type"), "application/json");
}

TEST(NetworkManager, BadStatusesAndUndecodableBodiesAreManagerErrors)
{
    const struct {
        int status;
        const char* body;
        int code;
    } cases[] = {
        {404, R"({"errors": []})", 404},
        {500, R"({"errors": []})", 500},
        {503, "{}", 503},
        {200, "<html>busy</html>", NetworkError::decodingFailed},
        {200, "", NetworkError::decodingFailed},
        {200, "[1, 2]", NetworkError::decodingFailed},
        {200, "\"text\"", NetworkError::decodingFailed},
        {200, R"({"cut": )", NetworkError::decodingFailed},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.body);
        LoopbackServer server;
        answer(server, each.status, each.body);
        server.start();
        NetworkManager manager;
        const NetworkError error = errorOf(settle(*send(manager, TestEndpoint(server.url()))));
        EXPECT_EQ(error.domain, "NetworkManager");
        EXPECT_EQ(error.code, each.code);
        EXPECT_FALSE(error.localizedDescription().isEmpty());
    }
}

TEST(NetworkManager, RefusedConnectionAndUnusableUrlAreErrorsDeliveredLater)
{
    QUrl closed;
    {
        LoopbackServer server;
        server.start();
        closed = server.url();
    }
    NetworkManager manager;
    const NetworkError refused = errorOf(settle(*send(manager, TestEndpoint(closed))));
    EXPECT_EQ(refused.domain, "NetworkManager");
    EXPECT_EQ(refused.code, NetworkError::transportFailed);
    EXPECT_FALSE(refused.message.isEmpty());

    const NetworkError invalid = errorOf(settle(*send(manager, TestEndpoint(QUrl("file:///etc/hosts")))));
    EXPECT_EQ(invalid.domain, "Endpoint");
    EXPECT_EQ(invalid.code, NetworkError::invalidUrl);
}

TEST(NetworkManager, SilentServerTimesOut)
{
    LoopbackServer server;
    answer(server, 200, "{}");
    server.start();
    server.holdResponses();
    NetworkManager manager(50ms);
    EXPECT_EQ(errorOf(settle(*send(manager, TestEndpoint(server.url())))).code, NetworkError::timedOut);
    server.releaseResponses();
}

TEST(NetworkManager, DestroyingTheManagerCompletesRunningRequestsOnce)
{
    LoopbackServer server;
    answer(server, 200, "{}");
    server.start();
    server.holdResponses();
    auto manager = std::make_unique<NetworkManager>();
    const auto running = send(*manager, TestEndpoint(server.url()));
    ASSERT_TRUE(waitUntil([&] { return server.totalHits() == 1; }));
    const auto notStarted = send(*manager, TestEndpoint(server.url()));
    manager.reset();
    server.releaseResponses();
    EXPECT_EQ(errorOf(settle(*running)).code, NetworkError::cancelled);
    EXPECT_EQ(errorOf(settle(*notStarted)).code, NetworkError::cancelled);
}

TEST(NetworkManager, RequestsFromAnotherThreadCompleteOnTheGuiThread)
{
    LoopbackServer server;
    answer(server, 200, "{}");
    server.start();
    NetworkManager manager;
    const TestEndpoint endpoint(server.url());
    std::shared_ptr<Outcome> outcome;
    std::thread worker([&] { outcome = send(manager, endpoint); });
    worker.join();
    EXPECT_TRUE(settle(*outcome).has_value());
}

TEST(NetworkManager, RedirectedPostsRepeatTheirBodyOnlyFor307And308)
{
    for (const int status : {303, 307}) {
        SCOPED_TRACE(status);
        LoopbackServer server;
        server.post("/answer", [status](const httplib::Request&, httplib::Response& response) {
            response.status = status;
            response.set_header("Location", "/moved");
        });
        const auto echo = [](const httplib::Request& request, httplib::Response& response) {
            const std::string echoed = R"({"method": ")" + request.method + R"(", "body": ")" + request.body + "\"}";
            response.set_content(echoed, "application/json");
        };
        server.get("/moved", echo);
        server.post("/moved", echo);
        server.start();
        NetworkManager manager;
        const Result got = settle(*send(manager, TestEndpoint(server.url(), HttpMethod::post, "payload")));
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->object.value("method").toString(), status == 307 ? "POST" : "GET");
        EXPECT_EQ(got->object.value("body").toString(), status == 307 ? "payload" : "");
        EXPECT_EQ(server.requests().back().header("Content-Type"), status == 307 ? "application/json" : "");
    }
}
