#pragma once

#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Tivrand::Testing {

// An HTTP/1.1 server on 127.0.0.1 that listens on any number of ports (one per origin) and
// serves them all from one thread, keeping connections alive as clients ask. It counts the
// connections open at once, so a test can see what a client keeps open, idle ones included.
// It also answers requests sent to it as a proxy (an absolute URL as their target). Answers are
// made by a handler on the server's thread, so they must be quick; a body is shared, never
// copied. Every wait is bounded and the server's end stops it.
class KeepAliveServer {
public:
    struct Request {
        int port = 0;
        std::string method;
        // As sent: a path, or an absolute URL when the client takes the server for a proxy.
        std::string target;
        // Names in lower case.
        std::multimap<std::string, std::string> headers;

        std::string header(const std::string& lowerCaseName) const;
    };
    struct Response {
        // The status line and header fields, without the blank line; the length is added.
        std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream";
        std::shared_ptr<const std::string> body;
    };
    using Handler = std::function<Response(const Request&)>;

    KeepAliveServer(int origins, Handler handler);
    ~KeepAliveServer();
    KeepAliveServer(const KeepAliveServer&) = delete;
    KeepAliveServer& operator=(const KeepAliveServer&) = delete;

    int port(int origin) const { return m_ports.at(std::size_t(origin)); }
    const std::vector<int>& ports() const { return m_ports; }
    QUrl url(int origin, const QString& path = QStringLiteral("/")) const;

    int openConnections() const { return m_open; }
    // The most connections open at once since the start or the last reset.
    int peakConnections() const { return m_peak; }
    void resetPeak() { m_peak = m_open.load(); }
    std::vector<Request> requests() const;

private:
    struct Connection;

    void serve();
    void accept(int listener, int port);
    void readFrom(Connection& connection);
    void writeTo(Connection& connection);
    void close(int socket);
    void watch(const Connection& connection);

    Handler m_handler;
    std::vector<int> m_listeners;
    std::vector<int> m_ports;
    std::map<int, int> m_portOfListener;
    int m_epoll = -1;
    int m_wakeUp = -1;
    std::map<int, std::unique_ptr<Connection>> m_connections;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_open{0};
    std::atomic<int> m_peak{0};
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
    std::thread m_thread;
};

} // namespace Tivrand::Testing
