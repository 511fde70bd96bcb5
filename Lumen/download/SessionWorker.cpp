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

bool paceRuleIsOn(const URLSessionConfiguration& configuration)
{
    return configuration.lowSpeedLimit > 0 && configuration.lowSpeedTime > 0;
}

// A few looks within the time a transfer may crawl, at most one a second.
int paceCheckMilliseconds(const URLSessionConfiguration& configuration)
{
    return int(std::clamp(configuration.lowSpeedTime * 1000 / 4, 50.0, 1000.0));
}

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
    m_clock.start();
    m_reclaim.setSingleShot(true);
    connect(&m_reclaim, &QTimer::timeout, this, [this] { startEach(m_hostQueue.reclaim(m_clock.elapsed())); });
    if (paceRuleIsOn(m_session->configuration())) {
        m_paceCheck.setInterval(paceCheckMilliseconds(m_session->configuration()));
        connect(&m_paceCheck, &QTimer::timeout, this, [this] { checkPace(); });
    }
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
    const QString host = originOf(request.url);
    m_transfers.emplace(task->taskIdentifier(), Entry{new SessionTransfer(*this, task), host});
    // A waiting transfer is not on the wire yet, so none of its timers runs.
    startEach(m_hostQueue.admit(task, host));
}

void SessionWorker::startEach(const std::vector<SessionHostQueue::Admitted>& admitted)
{
    for (const auto& next : admitted) {
        Entry& entry = m_transfers.at(next.task->taskIdentifier());
        entry.onWire = true;
        entry.transfer->start();
    }
    if (!admitted.empty() && !m_paceCheck.isActive() && paceRuleIsOn(m_session->configuration())) {
        m_sinceLastPaceCheck.start();
        m_paceCheck.start();
    }
    // Idle connections are due long after closing ones: the nearest may have come sooner.
    if (const auto next = m_hostQueue.nextReclaim()) {
        const int due = int(std::max<qint64>(0, *next - m_clock.elapsed()));
        if (!m_reclaim.isActive() || m_reclaim.remainingTime() > due)
            m_reclaim.start(due);
    }
}

void SessionWorker::moveToHost(const std::shared_ptr<URLSessionDataTask>& task, const QString& host)
{
    Entry& entry = m_transfers.at(task->taskIdentifier());
    const QString previous = std::exchange(entry.host, host);
    entry.onWire = false;
    // Those already waiting take the freed slot before this transfer asks for one.
    startEach(m_hostQueue.release(previous, false, m_clock.elapsed()));
    startEach(m_hostQueue.admit(task, host));
}

void SessionWorker::cancel(const std::shared_ptr<URLSessionDataTask>& task)
{
    const auto found = m_transfers.find(task->taskIdentifier());
    if (found != m_transfers.end())
        found->second.transfer->cancel();
    else
        report(task, SessionErrors::cancelled());
}

void SessionWorker::reprioritize(const std::shared_ptr<URLSessionDataTask>& task)
{
    startEach(m_hostQueue.reprioritize(*task));
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
                                  const std::optional<UnderlyingError>& error, bool cutOff)
{
    const auto found = m_transfers.find(task->taskIdentifier());
    const Entry entry = found->second;
    m_transfers.erase(found);
    // Ends are reported from inside the reply's own signals.
    transfer.deleteLater();
    if (!entry.onWire)
        startEach(m_hostQueue.remove(*task));
    report(task, error);
    if (entry.onWire)
        startEach(m_hostQueue.release(entry.host, cutOff, m_clock.elapsed()));
}

void SessionWorker::checkPace()
{
    const auto& configuration = m_session->configuration();
    const double elapsed = double(m_sinceLastPaceCheck.restart()) / 1000;
    // A thread held up for long tells nothing of the peers' pace: what they sent waits unread.
    const bool heldUp = elapsed > 3.0 * m_paceCheck.interval() / 1000;
    std::vector<std::uint64_t> crawling;
    bool onWire = false;
    for (const auto& [identifier, entry] : m_transfers) {
        if (!entry.onWire)
            continue;
        onWire = true;
        if (entry.transfer->measurePace(heldUp ? 0 : elapsed, configuration.lowSpeedLimit) >= configuration.lowSpeedTime)
            crawling.push_back(identifier);
    }
    if (!onWire)
        m_paceCheck.stop();
    for (const std::uint64_t identifier : crawling) {
        const auto found = m_transfers.find(identifier);
        if (found != m_transfers.end() && m_hostQueue.wouldStartAfterCutOff(found->second.host))
            found->second.transfer->endForPace();
    }
}

void SessionWorker::holdReadAhead(bool held)
{
    for (const auto& [identifier, entry] : m_transfers)
        entry.transfer->holdReadAhead(held);
}

int SessionWorker::connectionKeepSeconds(const URLSessionDataTask& task) const
{
    const auto found = m_transfers.find(task.taskIdentifier());
    return found != m_transfers.end() && m_hostQueue.keepsConnections(found->second.host) ? SessionHostQueue::keepSeconds : 0;
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
