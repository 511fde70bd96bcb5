#include "tests/support/RawSocketServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace Tivrand::Testing {

namespace {

constexpr int pollMilliseconds = 50;
constexpr int maximumConnections = 512;

// Waits until `socket` is ready for `events`; false once `stopping` is set or `limit` passed.
bool waitReady(int socket, short events, const std::atomic<bool>& stopping,
               std::chrono::milliseconds limit = std::chrono::seconds(30))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!stopping && std::chrono::steady_clock::now() < deadline) {
        pollfd entry{socket, events, 0};
        const int ready = ::poll(&entry, 1, pollMilliseconds);
        if (ready > 0)
            return (entry.revents & events) != 0;
        if (ready < 0)
            return false;
    }
    return false;
}

} // namespace

bool RawSocketServer::Connection::send(std::string_view bytes)
{
    while (!bytes.empty()) {
        if (!waitReady(m_socket, POLLOUT, m_stopping))
            return false;
        const ssize_t sent = ::send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void RawSocketServer::Connection::idle(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!m_stopping && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMilliseconds));
}

bool RawSocketServer::Connection::readRequestHead()
{
    char buffer[4096];
    while (m_requestHead.find("\r\n\r\n") == std::string::npos && m_requestHead.size() < 64 * 1024) {
        if (!waitReady(m_socket, POLLIN, m_stopping))
            return false;
        const ssize_t received = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (received <= 0)
            return false;
        m_requestHead.append(buffer, static_cast<std::size_t>(received));
    }
    return true;
}

RawSocketServer::RawSocketServer(Behaviour behaviour)
    : m_behaviour(std::move(behaviour))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(m_listener, 1024) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("the raw socket server could not listen");
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

RawSocketServer::~RawSocketServer()
{
    m_stopping = true;
    m_acceptor.join();
    for (auto& connection : m_connections)
        connection.join();
    ::close(m_listener);
}

QUrl RawSocketServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
}

void RawSocketServer::acceptLoop()
{
    while (!m_stopping) {
        if (!waitReady(m_listener, POLLIN, m_stopping))
            continue;
        const int socket = ::accept(m_listener, nullptr, nullptr);
        if (socket < 0)
            continue;
        std::lock_guard lock(m_mutex);
        if (m_connections.size() >= maximumConnections) {
            ::close(socket);
            continue;
        }
        m_connections.emplace_back([this, socket] {
            Connection connection(socket, m_stopping);
            if (connection.readRequestHead()) {
                ++m_requests;
                m_behaviour(connection);
            }
            ::shutdown(socket, SHUT_RDWR);
            ::close(socket);
        });
    }
}

RawSocketServer::Behaviour RawSocketServer::silent()
{
    return [](Connection& connection) { connection.idle(std::chrono::seconds(60)); };
}

RawSocketServer::Behaviour RawSocketServer::endlessBody()
{
    return [](Connection& connection) {
        if (!connection.send("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n"))
            return;
        const std::string chunk(64 * 1024, 'x');
        for (int sent = 0; sent < 256 * 1024 && connection.send(chunk); ++sent) {
        }
    };
}

RawSocketServer::Behaviour RawSocketServer::respond(std::string response, std::chrono::milliseconds delay)
{
    return [response = std::move(response), delay](Connection& connection) {
        connection.idle(delay);
        connection.send(response);
    };
}

RawSocketServer::Behaviour RawSocketServer::trickle(std::int64_t length, std::chrono::milliseconds interval,
                                                    std::size_t piece)
{
    return [length, interval, piece](Connection& connection) {
        if (!connection.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length)
                             + "\r\nConnection: close\r\n\r\n"))
            return;
        for (std::int64_t left = length; left > 0; left -= std::int64_t(piece)) {
            if (!connection.send(std::string(std::size_t(std::min(std::int64_t(piece), left)), 'x')))
                return;
            connection.idle(interval);
        }
    };
}

} // namespace Tivrand::Testing
