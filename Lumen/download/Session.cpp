#include "Lumen/download/Session.h"

#include "Lumen/download/EventLoopThread.h"
#include "Lumen/download/SessionErrors.h"
#include "Lumen/download/SessionWorker.h"
#include "Lumen/download/URLSessionDataDelegate.h"
#include "Lumen/download/URLSessionDataTask.h"

#include <utility>

namespace Lumen {

std::shared_ptr<Session> Session::make(URLSessionConfiguration configuration,
                                       std::shared_ptr<URLSessionDataDelegate> delegate)
{
    auto session = std::make_shared<Session>(Passkey{}, std::move(configuration), std::move(delegate));
    session->m_thread = EventLoopThread::start();
    // The worker keeps the session alive until the session is invalidated.
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
    return std::make_shared<URLSessionDataTask>(URLSessionDataTask::Passkey{}, shared_from_this(),
                                                m_nextTaskIdentifier++, std::move(request));
}

void Session::invalidateAndCancel()
{
    m_thread->quit([self = shared_from_this()] {
        self->m_worker->shutdown();
        delete std::exchange(self->m_worker, nullptr);
    });
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

void Session::completeCancelled(const std::shared_ptr<URLSessionDataTask>& task)
{
    if (task->markCompleted())
        m_delegate->didCompleteWithError(task, SessionErrors::cancelled());
}

} // namespace Lumen
