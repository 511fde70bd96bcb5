#pragma once

#include <httplib.h>

#include <QUrl>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Tivrand::Testing {

struct RecordedRequest {
    std::string method;
    std::string path;   // decoded path, without the query
    std::string target; // the request line's target exactly as sent
    std::multimap<std::string, std::string> headers; // names as sent
    std::string body;

    std::string header(const std::string& name) const;
};

// An HTTP or HTTPS server on 127.0.0.1 with a port chosen by the system. It records every
// request, counts hits per path and can hold its responses until released.
class LoopbackServer {
public:
    enum class Scheme { http, https };
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    explicit LoopbackServer(Scheme scheme = Scheme::http);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Routes take cpp-httplib patterns (regular expressions over the path).
    void get(const std::string& pattern, Handler handler);
    void post(const std::string& pattern, Handler handler);

    // Binds and starts serving; routes must be added before.
    void start();
    void stop();

    int port() const { return m_port; }
    QUrl url(const QString& pathAndQuery = QStringLiteral("/")) const;

    int hits(const std::string& path) const;
    int totalHits() const;
    std::vector<RecordedRequest> requests() const;

    // While held, responses wait (at most ten seconds) before they are sent: all of them, or
    // only those to paths ending with `pathEnding`.
    void holdResponses(const std::string& pathEnding = {});
    void releaseResponses();

private:
    Handler wrap(Handler handler);
    bool isHeld(const std::string& path) const; // with m_mutex held

    Scheme m_scheme;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_holding = false;
    std::string m_heldPathEnding;
    std::vector<RecordedRequest> m_requests;
};

} // namespace Tivrand::Testing
