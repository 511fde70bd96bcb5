#include "tests/support/LoopbackServer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <limits>
#include <stdexcept>

namespace Tivrand::Testing {

namespace {

// Beyond the connections of any client under test (Qt opens 6 per host).
constexpr std::size_t workerThreads = 64;

} // namespace

std::string RecordedRequest::header(const std::string& name) const
{
    const auto found = std::find_if(headers.begin(), headers.end(), [&](const auto& entry) {
        return std::equal(entry.first.begin(), entry.first.end(), name.begin(), name.end(),
                          [](char a, char b) { return std::tolower(a) == std::tolower(b); });
    });
    return found == headers.end() ? std::string() : found->second;
}

LoopbackServer::LoopbackServer(Scheme scheme)
    : m_scheme(scheme)
{
    if (scheme == Scheme::https) {
        // A fixed self-signed certificate for 127.0.0.1 and localhost, valid until 2126.
        m_server = std::make_unique<httplib::SSLServer>(TIVRAND_TEST_FIXTURES "/tls/cert.pem",
                                                        TIVRAND_TEST_FIXTURES "/tls/key.pem");
    } else {
        m_server = std::make_unique<httplib::Server>();
    }
    // Timings through this server must measure the client: no delayed-ACK wait between header
    // and body, connections kept for as many requests as a client sends, and workers enough
    // that idle kept-alive connections never hold back new ones. An idle connection is closed
    // after a second, since stopping the server waits for its connections to close.
    m_server->set_tcp_nodelay(true);
    m_server->set_keep_alive_max_count(std::numeric_limits<std::size_t>::max());
    m_server->set_keep_alive_timeout(1);
    m_server->new_task_queue = [] { return new httplib::ThreadPool(workerThreads); };
}

LoopbackServer::~LoopbackServer()
{
    stop();
}

void LoopbackServer::get(const std::string& pattern, Handler handler)
{
    m_server->Get(pattern, wrap(std::move(handler)));
}

void LoopbackServer::post(const std::string& pattern, Handler handler)
{
    m_server->Post(pattern, wrap(std::move(handler)));
}

LoopbackServer::Handler LoopbackServer::wrap(Handler handler)
{
    return [this, handler = std::move(handler)](const httplib::Request& request, httplib::Response& response) {
        {
            std::unique_lock lock(m_mutex);
            RecordedRequest recorded{request.method, request.path, request.target, {}, request.body};
            for (const auto& [name, value] : request.headers)
                recorded.headers.emplace(name, value);
            m_requests.push_back(std::move(recorded));
            m_released.wait_for(lock, std::chrono::seconds(10), [&] { return !isHeld(request.path); });
        }
        handler(request, response);
    };
}

void LoopbackServer::start()
{
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("loopback server could not bind");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    for (int attempt = 0; attempt < 5000 && !m_server->is_running(); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void LoopbackServer::stop()
{
    releaseResponses();
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

QUrl LoopbackServer::url(const QString& pathAndQuery) const
{
    const QString scheme = m_scheme == Scheme::https ? QStringLiteral("https") : QStringLiteral("http");
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(m_port).arg(pathAndQuery));
}

int LoopbackServer::hits(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_requests.begin(), m_requests.end(),
                                          [&](const RecordedRequest& r) { return r.path == path; }));
}

int LoopbackServer::totalHits() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_requests.size());
}

std::vector<RecordedRequest> LoopbackServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void LoopbackServer::holdResponses(const std::string& pathEnding)
{
    std::lock_guard lock(m_mutex);
    m_holding = true;
    m_heldPathEnding = pathEnding;
}

bool LoopbackServer::isHeld(const std::string& path) const
{
    return m_holding && path.ends_with(m_heldPathEnding);
}

void LoopbackServer::releaseResponses()
{
    {
        std::lock_guard lock(m_mutex);
        m_holding = false;
    }
    m_released.notify_all();
}

} // namespace Tivrand::Testing
