#include "Lumen/download/SessionWorker.h"

#include "Lumen/download/Session.h"
#include "Lumen/download/SessionErrors.h"
#include "Lumen/download/SessionTransfer.h"
#include "Lumen/download/URLSessionDataDelegate.h"
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
{
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_manager->setAutoDeleteReplies(false);
    connect(m_manager, &QNetworkAccessManager::authenticationRequired, this,
            [](QNetworkReply* reply, QAuthenticator* authenticator) {
                if (auto* transfer = qobject_cast<SessionTransfer*>(reply->parent()))
                    transfer->authenticate(*authenticator);
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
    const auto& isConstrained = m_session->configuration().isNetworkConstrained;
    if (!task->currentRequest().allowsConstrainedNetworkAccess && isConstrained && isConstrained()) {
        report(task, SessionErrors::networkConstrained());
        return;
    }
    auto* transfer = new SessionTransfer(*this, task);
    m_transfers.emplace(task->taskIdentifier(), transfer);
    transfer->start();
}

void SessionWorker::cancel(const std::shared_ptr<URLSessionDataTask>& task)
{
    const auto found = m_transfers.find(task->taskIdentifier());
    if (found != m_transfers.end())
        found->second->cancel();
    else
        report(task, SessionErrors::cancelled());
}

void SessionWorker::shutdown()
{
    // Each cancel ends its transfer and leaves the table.
    while (!m_transfers.empty())
        m_transfers.begin()->second->cancel();
}

void SessionWorker::transferEnded(SessionTransfer& transfer, const std::shared_ptr<URLSessionDataTask>& task,
                                  const std::optional<UnderlyingError>& error)
{
    m_transfers.erase(task->taskIdentifier());
    // Ends are reported from inside the reply's own signals.
    transfer.deleteLater();
    report(task, error);
}

void SessionWorker::report(const std::shared_ptr<URLSessionDataTask>& task, const std::optional<UnderlyingError>& error)
{
    if (task->markCompleted())
        m_session->delegate().didCompleteWithError(task, error);
}

} // namespace Lumen
