#include "Lumen/download/Session.h"

#include "Lumen/download/EventLoopThread.h"
#include "Lumen/download/SessionErrors.h"
#include "Lumen/download/SessionWorker.h"
#include "Lumen/download/URLSessionDataDelegate.h"
#include "Lumen/download/URLSessionDataTask.h"

#include <atomic>
#include <utility>

namespace Lumen {

namespace {

// Process-wide: sessions that share a delegate (a downloader given a new configuration keeps
// its delegate) tell their transfers apart by it.
std::atomic<std::uint64_t> nextTaskIdentifier{1};

} // namespace

std::shared_ptr<Session> Session::make(URLSessionConfiguration configuration,
                                       std::shared_ptr<URLSessionDataDelegate> delegate)
{
    auto session = std::make_shared<Session>(Passkey{}, std::move(configuration), std::move(delegate));
    // The session ends on its thread whether it is invalidated or the application ends; the
    // worker keeps it alive until then.
    session->m_thread = EventLoopThread::start([weakSession = std::weak_ptr<Session>(session)] {
        if (const auto self = weakSession.lock())
            self->end();
    });
    session->m_thread->post([session] { session->m_worker = new SessionWorker(session, session->m_thread); });
    return session;
}

Session::Session(Passkey, URLSessionConfiguration configuration, std::shared_ptr<URLSessionDataDelegate> delegate)
    : m_configuration(std::move(configuration))
    , m_delegate(std::move(delegate))
{
}

Session::~Session() = default;

std::shared_ptr<URLSessionDataTask> Session::dataTask(URLRequest request)
{
    auto task = std::make_shared<URLSessionDataTask>(URLSessionDataTask::Passkey{}, shared_from_this(),
                                                     nextTaskIdentifier++, std::move(request));
    std::lock_guard lock(m_outstandingMutex);
    m_outstanding.emplace(task->taskIdentifier(), task);
    return task;
}

void Session::invalidateAndCancel()
{
    m_thread->quit();
}

void Session::end()
{
    if (m_worker) {
        m_worker->shutdown();
        delete std::exchange(m_worker, nullptr);
    }
    // What is left was never started.
    std::map<std::uint64_t, std::weak_ptr<URLSessionDataTask>> outstanding;
    {
        std::lock_guard lock(m_outstandingMutex);
        outstanding = m_outstanding;
    }
    for (const auto& [identifier, weakTask] : outstanding) {
        if (const auto task = weakTask.lock())
            completeCancelled(task);
    }
}

void Session::taskCompleted(std::uint64_t taskIdentifier)
{
    std::lock_guard lock(m_outstandingMutex);
    m_outstanding.erase(taskIdentifier);
}

void Session::start(const std::shared_ptr<URLSessionDataTask>& task)
{
    if (!m_thread->post([self = shared_from_this(), task] { self->m_worker->start(task); }))
        completeCancelled(task);
}

void Session::cancel(const std::shared_ptr<URLSessionDataTask>& task)
{
    if (!m_thread->post([self = shared_from_this(), task] { self->m_worker->cancel(task); }))
        completeCancelled(task);
}

void Session::reprioritize(const std::shared_ptr<URLSessionDataTask>& task)
{
    m_thread->post([self = shared_from_this(), task] { self->m_worker->reprioritize(task); });
}

void Session::completeCancelled(const std::shared_ptr<URLSessionDataTask>& task)
{
    if (task->markCompleted())
        m_delegate->didCompleteWithError(task, SessionErrors::cancelled());
}

} // namespace Lumen
