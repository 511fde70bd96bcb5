#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace Lumen {

class URLSessionDataTask;

// The session's connection slots, per host and in all, and the tasks waiting for one. A task
// runs only with a slot of its host and one of the session's. When a slot frees, the waiting
// task that takes it is picked among the hosts that have a slot free, by priority as it stands
// then, then by arrival: a quiet host is not passed over for a busier one, and a priority
// changed while a task waits still counts. Used on the session's thread only.
class SessionHostQueue {
public:
    struct Admitted {
        std::shared_ptr<URLSessionDataTask> task;
        QString host;
    };

    SessionHostQueue(int connectionsPerHost, int connections);

    // True when `task` takes a slot of `host` now; otherwise it waits for one.
    bool admit(const std::shared_ptr<URLSessionDataTask>& task, const QString& host);
    // Frees a slot of `host` and answers the waiting task that takes it, if any.
    std::optional<Admitted> release(const QString& host);
    // Takes a task waiting for `host` out.
    void remove(const URLSessionDataTask& task, const QString& host);

private:
    struct Waiting {
        std::uint64_t arrival;
        std::shared_ptr<URLSessionDataTask> task;
    };
    struct Host {
        int running = 0;
        std::vector<Waiting> waiting;
    };
    using Hosts = std::map<QString, Host>;

    // The host of the waiting task that goes next, or the end when none may go now.
    Hosts::iterator pickNext(std::size_t& index);
    void forgetIfIdle(Hosts::iterator host);

    const int m_connectionsPerHost;
    const int m_connections;
    Hosts m_hosts;
    int m_running = 0;
    std::uint64_t m_arrivals = 0;
};

} // namespace Lumen
