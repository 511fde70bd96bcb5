#pragma once

#include <QString>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

namespace Lumen {

class URLSessionDataTask;

// The session's connection slots and the tasks waiting for one. A task runs only with a slot of
// its host and a socket the session may open. Qt keeps the connections it opened to a host,
// idle ones included, while any transfer to that host is on the wire (the session asks it to
// close them once none is), so a host holds as many sockets as it had transfers at once since
// it last had none, less those closed with a transfer cut off. Qt closes them some milliseconds
// after: they count as closing for `closingMilliseconds`. The session holds no more than
// `connections` sockets open, nor more than one host's worth beyond them with those closing.
// The waiting task that goes next is the first by priority, then by arrival, among the hosts with
// a slot free; while it waits for a socket nobody passes it, so busier hosts never starve a
// quiet one. Every step costs O(log n) in the tasks waiting. Times are the caller's clock, in
// milliseconds. Used on the session's thread only.
class SessionHostQueue {
public:
    struct Admitted {
        std::shared_ptr<URLSessionDataTask> task;
        QString host;
    };

    // Qt closes an origin's connections 10 ms after the last of its transfers ends.
    static constexpr qint64 closingMilliseconds = 25;

    SessionHostQueue(int connectionsPerHost, int connections);

    // Each step answers the waiting tasks that start now, in the order they go.
    // `task` waits for a slot of `host`; it may start at once.
    std::vector<Admitted> admit(const std::shared_ptr<URLSessionDataTask>& task, const QString& host);
    // Frees a slot of `host` at `now`; `closed` when the transfer was cut off, which closes its
    // connection.
    std::vector<Admitted> release(const QString& host, bool closed, qint64 now);
    // Takes a waiting task out.
    std::vector<Admitted> remove(const URLSessionDataTask& task);
    // Places a waiting task again by its priority as it stands now.
    std::vector<Admitted> reprioritize(const URLSessionDataTask& task);
    // Counts the sockets that have closed by `now` as closed.
    std::vector<Admitted> reclaim(qint64 now);
    // When sockets closing will count as closed, if any are closing.
    std::optional<qint64> nextReclaim() const;

    // Whether cutting a transfer of `host` off would start a waiting task.
    bool wouldStartAfterCutOff(const QString& host) const;
    // The sockets Qt holds open for the session now, and those it is closing.
    int sockets() const { return m_sockets; }
    int closingSockets() const { return m_closingSockets; }

private:
    struct Key {
        float priority;
        std::uint64_t arrival;
        // The task that goes first orders first.
        friend bool operator<(const Key& a, const Key& b)
        {
            return a.priority != b.priority ? a.priority > b.priority : a.arrival < b.arrival;
        }
    };
    struct Host {
        QString name;
        int running = 0;
        int sockets = 0;
        std::map<Key, std::shared_ptr<URLSessionDataTask>> waiting;
        // Its place among the hosts with a slot free and a task waiting.
        std::optional<Key> listed;
    };
    struct Closing {
        qint64 until;
        int sockets;
    };
    struct ByKey {
        bool operator()(const std::pair<Key, Host*>& a, const std::pair<Key, Host*>& b) const { return a.first < b.first; }
    };
    using Hosts = std::map<QString, Host>;

    static Key keyOf(const URLSessionDataTask& task, std::uint64_t arrival);
    // The sockets a host with `sockets` holds once one of its transfers has ended, leaving
    // `running`.
    static int socketsLeft(int running, int sockets, bool closed);
    // Lists `host` by its first waiting task while it has a slot free.
    void relist(Host& host);
    bool mayOpenSocket(int sockets, int closing) const;
    // Starts waiting tasks in order until the next one cannot start.
    std::vector<Admitted> dispatch();
    void forgetIfIdle(QString host);

    const int m_connectionsPerHost;
    const int m_connections;
    Hosts m_hosts;
    std::set<std::pair<Key, Host*>, ByKey> m_ready;
    std::unordered_map<const URLSessionDataTask*, std::pair<Host*, Key>> m_waiting;
    int m_sockets = 0;
    std::deque<Closing> m_closing;
    int m_closingSockets = 0;
    std::uint64_t m_arrivals = 0;
};

} // namespace Lumen
