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
using Testing::pumpEvents;
using Testing::waitUntil;

namespace {

class TestEndpoint final : public Endpoint {
public:
    explicit TestEndpoint(QUrl base, QString path = "/answer", HttpMethod method = HttpMethod::get, QByteArray body = {})
        : m_base(std::move(base)), m_path(std::move(path)), m_method(method), m_body(std::move(body))
    {
    }
    QUrl baseUrl() const override { return m_base; }
    QString path() const override { return m_path; }
    HttpMethod method() const override { return m_method; }
    QList<std::pair<QString, QString>> parameters() const override { return {{"q", "a b"}}; }
    QByteArray body() const override { return m_body; }
    QList<std::pair<QByteArray, QByteArray>> headers() const override { return {{"Content-Type", "application/json"}}; }

private:
    QUrl m_base;
    QString m_path;
    HttpMethod m_method;
    QByteArray m_body;
};

// Any JSON object.
struct AnyObject {
    QJsonObject object;
    static std::optional<AnyObject> fromJson(const QJsonValue& json)
    {
        return json.isObject() ? std::optional<AnyObject>(AnyObject{json.toObject()}) : std::nullopt;
    }
};

// Collects the completions of one request and how they were delivered.
struct Outcome {
    int calls = 0;
    bool onGuiThread = false;
    bool afterTheCall = false;
    std::optional<std::expected<AnyObject, NetworkError>> result;
};

std::shared_ptr<Outcome> send(NetworkManager& manager, const Endpoint& endpoint)
{
    auto outcome = std::make_shared<Outcome>();
    auto returned = std::make_shared<bool>(false);
    manager.request<AnyObject>(endpoint, [outcome, returned](std::expected<AnyObject, NetworkError> result) {
        ++outcome->calls;
        outcome->onGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        outcome->afterTheCall = *returned;
        outcome->result = std::move(result);
    });
    *returned = true;
    return outcome;
}

// Waits for the completion, then checks that no second one follows.
std::expected<AnyObject, NetworkError> settle(const Outcome& outcome)
{
    EXPECT_TRUE(waitUntil([&] { return outcome.calls > 0; }, 15s));
    pumpEvents(100ms);
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_TRUE(outcome.onGuiThread);
    EXPECT_TRUE(outcome.afterTheCall);
    return outcome.result.value_or(std::unexpected(NetworkError{}));
}

void answer(LoopbackServer& server, int status, std::string body)
{
    server.get("/answer", [status, body](const httplib::Request&, httplib::Response& response) {
        response.status = status;
        response.set_content(body, "application/json");
    });
}

NetworkError expectError(const std::expected<AnyObject, NetworkError>& result)
{
    EXPECT_FALSE(result.has_value());
    return result ? NetworkError{} : result.error();
}

} // namespace

TEST(NetworkManager, SuccessDecodesOnTheGuiThreadAfterTheCallReturns)
{
    LoopbackServer server;
    answer(server, 200, R"({"answer": 42})");
    server.start();
    NetworkManager manager;
    const auto& result = settle(*send(manager, TestEndpoint(server.url())));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->object.value("answer").toInt(), 42);
    EXPECT_EQ(server.requests().at(0).target, "/answer?q=a%20b");
}

TEST(NetworkManager, PostSendsMethodBodyAndHeaders)
{
    LoopbackServer server;
    server.post("/answer", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content(R"({"echo": ")" + request.body + "\"}", "application/json");
    });
    server.start();
    NetworkManager manager;
    const auto& result = settle(*send(manager, TestEndpoint(server.url(), "/answer", HttpMethod::post, "payload")));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->object.value("echo").toString(), "payload");
    const auto recorded = server.requests().at(0);
    EXPECT_EQ(recorded.method, "POST");
    EXPECT_EQ(recorded.header("Content-Type"), "application/json");
}

TEST(NetworkManager, StatusOutside2xxIsAnErrorCarryingTheStatus)
{
    for (const int status : {404, 500, 503}) {
        LoopbackServer server;
        answer(server, status, R"({"errors": []})");
        server.start();
        NetworkManager manager;
        const NetworkError error = expectError(settle(*send(manager, TestEndpoint(server.url()))));
        EXPECT_EQ(error.domain, "NetworkManager");
        EXPECT_EQ(error.code, status);
        EXPECT_FALSE(error.localizedDescription().isEmpty());
    }
}

TEST(NetworkManager, BodiesThatDoNotDecodeAreDecodingErrors)
{
    for (const char* body : {"<html>busy</html>", "", "[1, 2]", "\"text\"", R"({"cut": )"}) {
        LoopbackServer server;
        answer(server, 200, body);
        server.start();
        NetworkManager manager;
        const NetworkError error = expectError(settle(*send(manager, TestEndpoint(server.url()))));
        EXPECT_EQ(error.domain, "NetworkManager") << body;
        EXPECT_EQ(error.code, NetworkError::decodingFailed) << body;
    }
}

TEST(NetworkManager, RefusedConnectionIsATransportError)
{
    QUrl closed;
    {
        LoopbackServer server;
        server.start();
        closed = server.url();
    }
    NetworkManager manager;
    const NetworkError error = expectError(settle(*send(manager, TestEndpoint(closed))));
    EXPECT_EQ(error.domain, "NetworkManager");
    EXPECT_EQ(error.code, NetworkError::transportFailed);
    EXPECT_FALSE(error.message.isEmpty());
}

TEST(NetworkManager, UnusableUrlIsAnEndpointErrorDeliveredLater)
{
    NetworkManager manager;
    const NetworkError error = expectError(settle(*send(manager, TestEndpoint(QUrl("file:///etc/hosts")))));
    EXPECT_EQ(error.domain, "Endpoint");
    EXPECT_EQ(error.code, NetworkError::invalidUrl);
}

TEST(NetworkManager, SilentServerTimesOut)
{
    LoopbackServer server;
    answer(server, 200, "{}");
    server.start();
    server.holdResponses();
    NetworkManager manager(50ms);
    const NetworkError error = expectError(settle(*send(manager, TestEndpoint(server.url()))));
    EXPECT_EQ(error.code, NetworkError::timedOut);
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

    EXPECT_EQ(expectError(settle(*running)).code, NetworkError::cancelled);
    EXPECT_EQ(expectError(settle(*notStarted)).code, NetworkError::cancelled);
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
