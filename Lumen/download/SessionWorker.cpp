#include "Lumen/download/SessionWorker.h"

#include "Lumen/download/Session.h"
#include "Lumen/download/SessionCookieJar.h"
#include "Lumen/download/SessionErrors.h"
#include "Lumen/download/SessionTransfer.h"
#include "Lumen/download/URLSessionDataDelegate.h"
#include "Lumen/download/URLOrigin.h"
#include "Lumen/download/URLSessionDataTask.h"

#include <QAuthenticator>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <utility>

namespace Lumen {

SessionWorker::SessionWorker(std::shared_ptr<Session> session, std::shared_ptr<EventLoopThread> thread)
    : m_session(std::move(session))
    , m_thread(std::move(thread))
    , m_manager(new QNetworkAccessManager(this))
    , m_hostQueue(m_session->configuration().httpMaximumConnectionsPerHost)
{
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_manager->setAutoDeleteReplies(false);
    m_manager->setCookieJar(new SessionCookieJar(m_manager));
    connect(m_manager, &QNetworkAccessManager::authenticationRequired, this,
            [](QNetworkReply* reply, QAuthenticator* authenticator) {
                if (auto* transfer = qobject_cast<SessionTransfer*>(reply->parent()))
                    transfer->authenticate(*reply, *authenticator);
            });
}

SessionWorker::~SessionWorker()
{
    // Replies go before their manager.
    qDeleteAll(findChildren<SessionTransfer*>(Qt::FindDirectChildrenOnly));
    delete m_manager;
}

void SessionWorker::start(const std::shared_ptr<URLSessionDataTask>& task)
{
    // A cancel that overtook the start has completed the task already.
    if (task->state() == URLSessionDataTask::State::completed)
        return;
    const auto& isConstrained = m_session->configuration().isNetworkConstrained;
    const URLRequest request = task->currentRequest();
    // Before any I/O: another scheme could name a local file, even one that never ends.
    if (!isHTTPURL(request.url)) {
        report(task, SessionErrors::unsupportedScheme(request.url));
        return;
    }
    if (!request.allowsConstrainedNetworkAccess && isConstrained && isConstrained()) {
        report(task, SessionErrors::networkConstrained());
        return;
    }
    // A waiting task is not yet on the wire, so its timeout has not started.
    const QString host = originOf(request.url);
    if (m_hostQueue.admit(task, host))
        begin(task, host);
}

void SessionWorker::begin(const std::shared_ptr<URLSessionDataTask>& task, const QString& host)
{
    auto* transfer = new SessionTransfer(*this, task);
    m_transfers.emplace(task->taskIdentifier(), Running{transfer, host});
    transfer->start();
}

void SessionWorker::cancel(const std::shared_ptr<URLSessionDataTask>& task)
{
    const auto found = m_transfers.find(task->taskIdentifier());
    if (found != m_transfers.end()) {
        found->second.transfer->cancel();
        return;
    }
    m_hostQueue.remove(*task);
    report(task, SessionErrors::cancelled());
}

void SessionWorker::shutdown()
{
    for (const auto& task : m_hostQueue.takeAllWaiting())
        report(task, SessionErrors::cancelled());
    // Each cancel ends its transfer and leaves the table.
    while (!m_transfers.empty())
        m_transfers.begin()->second.transfer->cancel();
}

void SessionWorker::transferEnded(SessionTransfer& transfer, const std::shared_ptr<URLSessionDataTask>& task,
                                  const std::optional<UnderlyingError>& error)
{
    const auto found = m_transfers.find(task->taskIdentifier());
    const QString host = found->second.host;
    m_transfers.erase(found);
    // Ends are reported from inside the reply's own signals.
    transfer.deleteLater();
    report(task, error);
    // Started after the report, so a task waiting for this slot and cancelled meanwhile is skipped.
    while (const auto next = m_hostQueue.release(host)) {
        if (next->state() != URLSessionDataTask::State::completed) {
            begin(next, host);
            return;
        }
    }
}

void SessionWorker::report(const std::shared_ptr<URLSessionDataTask>& task, const std::optional<UnderlyingError>& error)
{
    if (task->markCompleted())
        m_session->delegate().didCompleteWithError(task, error);
}

} // namespace Lumen
