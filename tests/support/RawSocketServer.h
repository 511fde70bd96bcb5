#pragma once

#include <QString>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace Tivrand::Testing {

// A TCP server on 127.0.0.1 that answers every connection with a scripted behaviour rather
// than proper HTTP: a server that never answers, sends without end, or sends broken
// responses. Each connection is served once, on a thread of its own, and then closed. Every
// wait and every loop is bounded, and the server's end stops them all.
class RawSocketServer {
public:
    class Connection {
    public:
        Connection(int socket, const std::atomic<bool>& stopping)
            : m_socket(socket)
            , m_stopping(stopping)
        {
        }
        // The request line and headers, as received.
        const std::string& requestHead() const { return m_requestHead; }
        // False once the peer is gone or the server stops.
        bool send(std::string_view bytes);
        // Returns when the server stops or `limit` has passed.
        void idle(std::chrono::milliseconds limit);
        bool readRequestHead();

    private:
        int m_socket;
        const std::atomic<bool>& m_stopping;
        std::string m_requestHead;
    };
    using Behaviour = std::function<void(Connection&)>;

    explicit RawSocketServer(Behaviour behaviour);
    ~RawSocketServer();
    RawSocketServer(const RawSocketServer&) = delete;
    RawSocketServer& operator=(const RawSocketServer&) = delete;

    int port() const { return m_port; }
    QUrl url(const QString& path = QStringLiteral("/")) const;
    // Connections that sent a request head.
    int requests() const { return m_requests; }

    // Reads the request and then says nothing until the server goes.
    static Behaviour silent();
    // A 200 without a length whose body never ends (up to 16 GiB).
    static Behaviour endlessBody();
    // Sends `response` exactly as given after `delay`, then closes.
    static Behaviour respond(std::string response, std::chrono::milliseconds delay = {});
    // A 200 announcing a body of `length` bytes, then `piece` bytes of it every `interval`.
    static Behaviour trickle(std::int64_t length, std::chrono::milliseconds interval, std::size_t piece = 1);

private:
    void acceptLoop();

    Behaviour m_behaviour;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_requests{0};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_connections;
};

} // namespace Tivrand::Testing
