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
// idle ones included, while any transfer to that host is on the wire, so a host holds as many
// sockets as it had transfers at once since it last had none, less those closed with a transfer
// cut off. Once none is on the wire Qt closes them at once, or, for a host that keeps its
// connections, `keepMilliseconds` later; either way they count until some milliseconds after.
// A host keeps its connections when it opens the first of them while no other task waits, and
// while what the hosts that keep theirs may hold fits in a quarter of the cap: idle connections
// never take more than that from busier hosts, and never for long. The session
// holds no more than `connections` sockets open, idle ones included, nor more than one host's
// worth beyond them with those closing. The waiting task that goes next is the first by
// priority, then by arrival, among the hosts with a slot free; while it waits for a socket
// nobody passes it, so busier hosts never starve a quiet one. Every step costs O(log n) in the
// tasks waiting. Times are the caller's clock, in milliseconds. Used on the session's thread
// only.
class SessionHostQueue {
public:
    struct Admitted {
        std::shared_ptr<URLSessionDataTask> task;
        QString host;
    };

    // How long a host that keeps its connections keeps them idle.
    static constexpr int keepSeconds = 2;
    // Qt closes an origin's connections 10 ms after they are due to close.
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
    // Whether `host`, which has a transfer on the wire, keeps its connections once it has none.
    bool keepsConnections(const QString& host) const;
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
        bool keeps = false;
        // Set while the host keeps its connections with none of its transfers on the wire.
        std::optional<qint64> idleUntil;
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
    // The sockets a host holds once one of its transfers has ended, leaving `running`.
    static int socketsLeft(const Host& host, int running, bool closed);
    // Counts `sockets` as the host's open ones; those it had beyond them as closing from `now`.
    void setSockets(Host& host, int sockets, qint64 now);
    // Lists `host` by its first waiting task while it has a slot free.
    void relist(Host& host);
    bool mayOpenSocket(int sockets, int closing) const;
    // Whether a host opening its first connection, for the task just taken out of the waiting
    // ones, keeps its connections.
    bool mayKeep() const;
    void stopKeeping(Host& host);
    // Starts waiting tasks in order until the next one cannot start.
    std::vector<Admitted> dispatch();
    void forgetIfIdle(QString host);

    const int m_connectionsPerHost;
    const int m_connections;
    Hosts m_hosts;
    std::set<std::pair<Key, Host*>, ByKey> m_ready;
    std::unordered_map<const URLSessionDataTask*, std::pair<Host*, Key>> m_waiting;
    int m_sockets = 0;
    // The hosts that keep their connections, and when those idle now are due to close them.
    int m_keepers = 0;
    std::set<std::pair<qint64, QString>> m_idle;
    std::deque<Closing> m_closing;
    int m_closingSockets = 0;
    std::uint64_t m_arrivals = 0;
};

} // namespace Lumen
