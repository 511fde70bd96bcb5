#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace Lumen {

class URLSessionDataTask;

// The session's connection slots per host and the tasks waiting for one. A waiting task is
// taken by its priority as it stands when a slot frees, then by arrival, so a priority changed
// while it waits still counts. Used on the session's thread only.
class SessionHostQueue {
public:
    explicit SessionHostQueue(int connectionsPerHost);

    // True when `task` takes a free slot of `host` now; otherwise it waits for one.
    bool admit(const std::shared_ptr<URLSessionDataTask>& task, const QString& host);
    // Frees a slot of `host` and answers the waiting task that takes it, if any.
    std::shared_ptr<URLSessionDataTask> release(const QString& host);
    // Takes a waiting task out; false when it was not waiting.
    bool remove(const URLSessionDataTask& task);
    std::vector<std::shared_ptr<URLSessionDataTask>> takeAllWaiting();

private:
    struct Waiting {
        std::uint64_t arrival;
        std::shared_ptr<URLSessionDataTask> task;
    };
    struct Host {
        int running = 0;
        std::vector<Waiting> waiting;
    };

    const int m_connectionsPerHost;
    std::map<QString, Host> m_hosts;
    std::uint64_t m_arrivals = 0;
};

} // namespace Lumen
