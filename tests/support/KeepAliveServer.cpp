#include "tests/support/KeepAliveServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <stdexcept>

namespace Tivrand::Testing {

namespace {

constexpr int maximumConnections = 4096;
constexpr std::size_t maximumHeadBytes = 64 * 1024;
constexpr std::size_t maximumRecordedRequests = 100'000;

std::string lowered(std::string text)
{
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The request line and header fields of `head`, which ends before its blank line.
KeepAliveServer::Request parseHead(const std::string& head, int port)
{
    KeepAliveServer::Request request;
    request.port = port;
    std::size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const auto firstSpace = requestLine.find(' ');
    const auto secondSpace = requestLine.find(' ', firstSpace + 1);
    request.method = requestLine.substr(0, firstSpace);
    if (firstSpace != std::string::npos)
        request.target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    while (lineEnd != std::string::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const auto colon = line.find(':');
        if (colon != std::string::npos)
            request.headers.emplace(lowered(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
    }
    return request;
}

bool asksToClose(const std::string& connectionField)
{
    return lowered(connectionField).find("close") != std::string::npos;
}

} // namespace

struct KeepAliveServer::Connection {
    int socket = -1;
    int port = 0;
    std::string input;
    // Pieces waiting to be sent, each from its offset.
    struct Piece {
        std::shared_ptr<const std::string> bytes;
        std::size_t sent = 0;
    };
    std::deque<Piece> output;
    bool closeWhenSent = false;
};

std::string KeepAliveServer::Request::header(const std::string& lowerCaseName) const
{
    const auto found = headers.find(lowerCaseName);
    return found == headers.end() ? std::string() : found->second;
}

KeepAliveServer::KeepAliveServer(int origins, Handler handler)
    : m_handler(std::move(handler))
{
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_wakeUp = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_epoll < 0 || m_wakeUp < 0)
        throw std::runtime_error("the keep-alive server could not poll");
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.fd = m_wakeUp;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeUp, &wake);
    for (int i = 0; i < origins; ++i) {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(listener, 1024) != 0
            || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("the keep-alive server could not listen");
        m_listeners.push_back(listener);
        m_ports.push_back(ntohs(address.sin_port));
        m_portOfListener[listener] = m_ports.back();
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = listener;
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, listener, &event);
    }
    m_thread = std::thread([this] { serve(); });
}

KeepAliveServer::~KeepAliveServer()
{
    m_stopping = true;
    const std::uint64_t one = 1;
    (void)!::write(m_wakeUp, &one, sizeof one);
    m_thread.join();
    for (const auto& [socket, connection] : m_connections)
        ::close(socket);
    for (const int listener : m_listeners)
        ::close(listener);
    ::close(m_wakeUp);
    ::close(m_epoll);
}

QUrl KeepAliveServer::url(int origin, const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port(origin)).arg(path));
}

std::vector<KeepAliveServer::Request> KeepAliveServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void KeepAliveServer::serve()
{
    epoll_event events[256];
    while (!m_stopping) {
        const int ready = ::epoll_wait(m_epoll, events, 256, 100);
        for (int i = 0; i < ready && !m_stopping; ++i) {
            const int socket = events[i].data.fd;
            if (const auto listener = m_portOfListener.find(socket); listener != m_portOfListener.end()) {
                accept(socket, listener->second);
                continue;
            }
            const auto found = m_connections.find(socket);
            if (found == m_connections.end())
                continue;
            Connection& connection = *found->second;
            if (events[i].events & (EPOLLERR | EPOLLHUP)) {
                close(socket);
                continue;
            }
            if (events[i].events & EPOLLIN)
                readFrom(connection);
            if (m_connections.contains(socket) && (events[i].events & EPOLLOUT))
                writeTo(connection);
        }
    }
}

void KeepAliveServer::accept(int listener, int port)
{
    for (;;) {
        const int socket = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (socket < 0)
            return;
        if (int(m_connections.size()) >= maximumConnections) {
            ::close(socket);
            continue;
        }
        auto connection = std::make_unique<Connection>();
        connection->socket = socket;
        connection->port = port;
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = socket;
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, socket, &event);
        m_connections.emplace(socket, std::move(connection));
        const int open = ++m_open;
        for (int seen = m_peak; open > seen && !m_peak.compare_exchange_weak(seen, open);) {
        }
    }
}

void KeepAliveServer::readFrom(Connection& connection)
{
    char buffer[16 * 1024];
    for (;;) {
        const ssize_t received = ::recv(connection.socket, buffer, sizeof buffer, 0);
        if (received == 0 || (received < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            close(connection.socket);
            return;
        }
        if (received < 0)
            break;
        connection.input.append(buffer, std::size_t(received));
    }
    // Requests carry no bodies here: each ends with its head.
    for (std::size_t end; !connection.closeWhenSent && (end = connection.input.find("\r\n\r\n")) != std::string::npos;) {
        const Request request = parseHead(connection.input.substr(0, end), connection.port);
        connection.input.erase(0, end + 4);
        {
            std::lock_guard lock(m_mutex);
            if (m_requests.size() < maximumRecordedRequests)
                m_requests.push_back(request);
        }
        Response response = m_handler(request);
        const std::size_t length = response.body ? response.body->size() : 0;
        connection.closeWhenSent = asksToClose(request.header("connection"))
            || lowered(response.head).find("\r\nconnection: close") != std::string::npos;
        auto head = std::make_shared<std::string>(response.head + "\r\nContent-Length: " + std::to_string(length)
                                                  + (connection.closeWhenSent ? "\r\nConnection: close" : "")
                                                  + "\r\n\r\n");
        connection.output.push_back({std::move(head)});
        if (length > 0)
            connection.output.push_back({std::move(response.body)});
    }
    if (connection.input.size() > maximumHeadBytes) {
        close(connection.socket);
        return;
    }
    writeTo(connection);
}

void KeepAliveServer::writeTo(Connection& connection)
{
    while (!connection.output.empty()) {
        auto& piece = connection.output.front();
        const ssize_t sent = ::send(connection.socket, piece.bytes->data() + piece.sent, piece.bytes->size() - piece.sent,
                                    MSG_NOSIGNAL);
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (sent <= 0) {
            close(connection.socket);
            return;
        }
        piece.sent += std::size_t(sent);
        if (piece.sent == piece.bytes->size())
            connection.output.pop_front();
    }
    if (connection.output.empty() && connection.closeWhenSent) {
        close(connection.socket);
        return;
    }
    watch(connection);
}

void KeepAliveServer::watch(const Connection& connection)
{
    epoll_event event{};
    event.events = EPOLLIN | (connection.output.empty() ? 0u : unsigned(EPOLLOUT));
    event.data.fd = connection.socket;
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, connection.socket, &event);
}

void KeepAliveServer::close(int socket)
{
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, socket, nullptr);
    ::close(socket);
    m_connections.erase(socket);
    --m_open;
}

} // namespace Tivrand::Testing
