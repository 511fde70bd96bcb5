#pragma once

#include "Lumen/download/URLRequest.h"
#include "Lumen/download/URLSessionConfiguration.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace Lumen {

class EventLoopThread;
class SessionWorker;
class URLSessionDataDelegate;
class URLSessionDataTask;

// An HTTP client session: one thread of its own running its own network manager, where every
// transfer's events are handled and reported to the delegate. Requests are posted to that
// thread, never waited for. At most `httpMaximumConnectionsPerHost` transfers run per host and
// `maximumConnections` connections stay open in all, idle ones included, however transfers got
// to their host; the rest wait in the session's queue, where a transfer that moves almost
// nothing gives its connection up to them. Redirects are followed by the session itself so the delegate can change or
// refuse them. Bodies held at once, cookies and each transfer's time on the wire are bounded
// for the session as a whole. A session keeps itself and its delegate alive until
// `invalidateAndCancel` ends it, or the application ends.
class Session : public std::enable_shared_from_this<Session> {
    friend class URLSessionDataTask;
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::shared_ptr<Session> make(URLSessionConfiguration configuration,
                                         std::shared_ptr<URLSessionDataDelegate> delegate);

    Session(Passkey, URLSessionConfiguration configuration, std::shared_ptr<URLSessionDataDelegate> delegate);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const URLSessionConfiguration& configuration() const { return m_configuration; }
    URLSessionDataDelegate& delegate() const { return *m_delegate; }

    // A suspended task; nothing is sent before its `resume`.
    std::shared_ptr<URLSessionDataTask> dataTask(URLRequest request);

    // Cancels every task not completed yet, started or not (each completes with a cancellation
    // error), and ends the thread. Tasks resumed afterwards complete at once with the same error.
    void invalidateAndCancel();

private:
    // On the session's thread, as it ends.
    void end();
    void start(const std::shared_ptr<URLSessionDataTask>& task);
    void cancel(const std::shared_ptr<URLSessionDataTask>& task);
    void reprioritize(const std::shared_ptr<URLSessionDataTask>& task);
    void completeCancelled(const std::shared_ptr<URLSessionDataTask>& task);
    void taskCompleted(std::uint64_t taskIdentifier);

    const URLSessionConfiguration m_configuration;
    const std::shared_ptr<URLSessionDataDelegate> m_delegate;
    std::shared_ptr<EventLoopThread> m_thread;
    // Made, used and deleted on the session's thread only.
    SessionWorker* m_worker = nullptr;
    // Tasks made and not completed yet, so that ending the session ends them all.
    std::mutex m_outstandingMutex;
    std::map<std::uint64_t, std::weak_ptr<URLSessionDataTask>> m_outstanding;
};

} // namespace Lumen
