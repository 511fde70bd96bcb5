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

// The part of a `Session` that lives on its thread: the network manager, the running
// transfers and those waiting for a connection to their host. Used on that thread only.
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

private:
    struct Running {
        SessionTransfer* transfer;
        QString host;
    };

    void begin(const std::shared_ptr<URLSessionDataTask>& task, const QString& host);
    void report(const std::shared_ptr<URLSessionDataTask>& task, const std::optional<UnderlyingError>& error);

    const std::shared_ptr<Session> m_session;
    const std::shared_ptr<EventLoopThread> m_thread;
    QNetworkAccessManager* m_manager;
    SessionHostQueue m_hostQueue;
    std::map<std::uint64_t, Running> m_transfers;
};

} // namespace Lumen
