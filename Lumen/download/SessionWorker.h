#pragma once

#include "Lumen/download/SessionHostQueue.h"
#include "Lumen/foundation/UnderlyingError.h"

#include <QObject>

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
// transfer from its start to its end, the connection slots they wait for and the bytes of body
// they hold together. Used on that thread only.
class SessionWorker : public QObject {
public:
    SessionWorker(std::shared_ptr<Session> session, std::shared_ptr<EventLoopThread> thread);
    ~SessionWorker() override;

    Session& session() const { return *m_session; }
    QNetworkAccessManager& manager() const { return *m_manager; }
    const std::shared_ptr<EventLoopThread>& loopThread() const { return m_thread; }

    void start(const std::shared_ptr<URLSessionDataTask>& task);
    void cancel(const std::shared_ptr<URLSessionDataTask>& task);
    // Cancels every transfer.
    void shutdown();

    // Called by a transfer once, when it ends.
    void transferEnded(SessionTransfer& transfer, const std::shared_ptr<URLSessionDataTask>& task,
                       const std::optional<UnderlyingError>& error);
    // Called by a transfer that follows a redirect to another host: it gives its slot up and
    // waits for one of `host` like any new transfer; it is started again once it has one.
    void moveToHost(const std::shared_ptr<URLSessionDataTask>& task, const QString& host);

    // Takes `bytes` of the session's budget for the bodies it holds; false, taking nothing,
    // when they do not fit.
    bool takeBodyBytes(qint64 bytes);
    void returnBodyBytes(qint64 bytes);

private:
    struct Entry {
        SessionTransfer* transfer;
        QString host;
        bool onWire = false;
    };

    // Starts the transfer of `task` when a slot of its host is free; otherwise it waits.
    void admit(const std::shared_ptr<URLSessionDataTask>& task);
    // Gives a slot of `host` to the waiting transfer that goes next, if any.
    void releaseSlot(const QString& host);
    void report(const std::shared_ptr<URLSessionDataTask>& task, const std::optional<UnderlyingError>& error);

    const std::shared_ptr<Session> m_session;
    const std::shared_ptr<EventLoopThread> m_thread;
    QNetworkAccessManager* m_manager;
    SessionHostQueue m_hostQueue;
    std::map<std::uint64_t, Entry> m_transfers;
    qint64 m_bufferedBodyBytes = 0;
};

} // namespace Lumen
