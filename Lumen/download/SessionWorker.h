#pragma once

#include "Lumen/download/SessionHostQueue.h"
#include "Lumen/foundation/UnderlyingError.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace Lumen {

class EventLoopThread;
class Session;
class SessionTransfer;
class URLSessionDataTask;

// The part of a `Session` that lives on its thread: the network manager and its cookies, every
// transfer from its start to its end, the connection slots they wait for, the bytes of body
// they hold together and the pace each keeps while others wait. Used on that thread only.
class SessionWorker : public QObject {
public:
    SessionWorker(std::shared_ptr<Session> session, std::shared_ptr<EventLoopThread> thread);
    ~SessionWorker() override;

    Session& session() const { return *m_session; }
    QNetworkAccessManager& manager() const { return *m_manager; }
    const std::shared_ptr<EventLoopThread>& loopThread() const { return m_thread; }

    void start(const std::shared_ptr<URLSessionDataTask>& task);
    void cancel(const std::shared_ptr<URLSessionDataTask>& task);
    // A waiting task goes by its new priority.
    void reprioritize(const std::shared_ptr<URLSessionDataTask>& task);
    // Cancels every transfer.
    void shutdown();

    // Called by a transfer once, when it ends; `cutOff` when it ended before its reply did,
    // which closes its connection.
    void transferEnded(SessionTransfer& transfer, const std::shared_ptr<URLSessionDataTask>& task,
                       const std::optional<UnderlyingError>& error, bool cutOff);
    // Called by a transfer that follows a redirect to another host: it gives its slot up and
    // waits for one of `host` like any new transfer; it is started again once it has one.
    void moveToHost(const std::shared_ptr<URLSessionDataTask>& task, const QString& host);

    // How long the connections of the host `task` is on stay open, idle, once none of its
    // transfers is on the wire.
    int connectionKeepSeconds(const URLSessionDataTask& task) const;
    // Takes `bytes` of the session's budget for the bodies it holds; false, taking nothing,
    // when they do not fit.
    bool takeBodyBytes(qint64 bytes);
    void returnBodyBytes(qint64 bytes);
    // While the thread waits for an answer inside a signal of Qt's, Qt reads ahead of every
    // transfer only a little, whatever its body announced.
    void holdReadAhead(bool held);

private:
    struct Entry {
        SessionTransfer* transfer;
        QString host;
        bool onWire = false;
    };

    // Starts the transfers the queue admitted, and looks again when closing sockets count as
    // closed.
    void startEach(const std::vector<SessionHostQueue::Admitted>& admitted);
    // Ends the transfers that have moved too little for long, one at a time while each end
    // lets a waiting transfer start.
    void checkPace();

    void report(const std::shared_ptr<URLSessionDataTask>& task, const std::optional<UnderlyingError>& error);

    const std::shared_ptr<Session> m_session;
    const std::shared_ptr<EventLoopThread> m_thread;
    QNetworkAccessManager* m_manager;
    SessionHostQueue m_hostQueue;
    std::map<std::uint64_t, Entry> m_transfers;
    qint64 m_bufferedBodyBytes = 0;
    QElapsedTimer m_clock;
    QTimer m_reclaim;
    // Runs while transfers are on the wire, when the pace rule is on.
    QTimer m_paceCheck;
    QElapsedTimer m_sinceLastPaceCheck;
};

} // namespace Lumen
