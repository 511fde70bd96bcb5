#include "Lumen/download/SessionWorker.h"

#include "Lumen/download/Session.h"
#include "Lumen/download/SessionCookieJar.h"
#include "Lumen/download/SessionErrors.h"
#include "Lumen/download/SessionTransfer.h"
#include "Lumen/download/URLOrigin.h"
#include "Lumen/download/URLSessionDataDelegate.h"
#include "Lumen/download/URLSessionDataTask.h"

#include <QAuthenticator>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <algorithm>
#include <utility>
#include <vector>

namespace Lumen {

namespace {

// Qt opens no more connections than this to one host. A transfer handed to Qt beyond them
// would wait in Qt's own queue with its idle timer running, so it waits in the session's.
constexpr int qtConnectionsPerHost = 6;

} // namespace

SessionWorker::SessionWorker(std::shared_ptr<Session> session, std::shared_ptr<EventLoopThread> thread)
    : m_session(std::move(session))
    , m_thread(std::move(thread))
    , m_manager(new QNetworkAccessManager(this))
    , m_hostQueue(std::min(m_session->configuration().httpMaximumConnectionsPerHost, qtConnectionsPerHost),
                  m_session->configuration().maximumConnections)
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
    m_transfers.emplace(task->taskIdentifier(), Entry{new SessionTransfer(*this, task), originOf(request.url)});
    admit(task);
}

void SessionWorker::admit(const std::shared_ptr<URLSessionDataTask>& task)
{
    Entry& entry = m_transfers.at(task->taskIdentifier());
    // A waiting transfer is not on the wire yet, so none of its timers runs.
    if (m_hostQueue.admit(task, entry.host)) {
        entry.onWire = true;
        entry.transfer->start();
    }
}

void SessionWorker::releaseSlot(const QString& host)
{
    const auto next = m_hostQueue.release(host);
    if (!next)
        return;
    Entry& entry = m_transfers.at(next->task->taskIdentifier());
    entry.onWire = true;
    entry.transfer->start();
}

void SessionWorker::moveToHost(const std::shared_ptr<URLSessionDataTask>& task, const QString& host)
{
    Entry& entry = m_transfers.at(task->taskIdentifier());
    const QString previous = std::exchange(entry.host, host);
    entry.onWire = false;
    // Those already waiting take the freed slot before this transfer asks for one.
    releaseSlot(previous);
    admit(task);
}

void SessionWorker::cancel(const std::shared_ptr<URLSessionDataTask>& task)
{
    const auto found = m_transfers.find(task->taskIdentifier());
    if (found != m_transfers.end())
        found->second.transfer->cancel();
    else
        report(task, SessionErrors::cancelled());
}

void SessionWorker::shutdown()
{
    // Waiting transfers end first, so no slot freed afterwards starts one of them.
    for (const bool onWire : {false, true}) {
        std::vector<SessionTransfer*> ending;
        for (const auto& [identifier, entry] : m_transfers) {
            if (entry.onWire == onWire)
                ending.push_back(entry.transfer);
        }
        for (SessionTransfer* transfer : ending)
            transfer->cancel();
    }
}

void SessionWorker::transferEnded(SessionTransfer& transfer, const std::shared_ptr<URLSessionDataTask>& task,
                                  const std::optional<UnderlyingError>& error)
{
    const auto found = m_transfers.find(task->taskIdentifier());
    const Entry entry = found->second;
    m_transfers.erase(found);
    if (!entry.onWire)
        m_hostQueue.remove(*task, entry.host);
    // Ends are reported from inside the reply's own signals.
    transfer.deleteLater();
    report(task, error);
    if (entry.onWire)
        releaseSlot(entry.host);
}

bool SessionWorker::takeBodyBytes(qint64 bytes)
{
    if (bytes > m_session->configuration().maximumBufferedBodyBytes - m_bufferedBodyBytes)
        return false;
    m_bufferedBodyBytes += bytes;
    return true;
}

void SessionWorker::returnBodyBytes(qint64 bytes)
{
    m_bufferedBodyBytes -= bytes;
}

void SessionWorker::report(const std::shared_ptr<URLSessionDataTask>& task, const std::optional<UnderlyingError>& error)
{
    if (task->markCompleted())
        m_session->delegate().didCompleteWithError(task, error);
}

} // namespace Lumen
