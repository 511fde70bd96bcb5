#include "Lumen/download/URLSessionDataTask.h"

#include "Lumen/download/Session.h"

#include <utility>

namespace Lumen {

URLSessionDataTask::URLSessionDataTask(Passkey, std::shared_ptr<Session> session, std::uint64_t taskIdentifier,
                                       URLRequest request)
    : m_session(std::move(session))
    , m_taskIdentifier(taskIdentifier)
    , m_originalRequest(request)
    , m_currentRequest(std::move(request))
{
}

URLRequest URLSessionDataTask::currentRequest() const
{
    std::lock_guard lock(m_mutex);
    return m_currentRequest;
}

void URLSessionDataTask::setCurrentRequest(URLRequest request)
{
    std::lock_guard lock(m_mutex);
    m_currentRequest = std::move(request);
}

std::optional<URLResponse> URLSessionDataTask::response() const
{
    std::lock_guard lock(m_mutex);
    return m_response;
}

void URLSessionDataTask::setResponse(URLResponse response)
{
    std::lock_guard lock(m_mutex);
    m_response = std::move(response);
}

void URLSessionDataTask::setPriority(float priority)
{
    m_priority.store(priority, std::memory_order_relaxed);
    // A task resumed may wait for a connection: its place in the queue changes with it.
    if (state() == State::running)
        m_session->reprioritize(shared_from_this());
}

URLSessionDataTask::State URLSessionDataTask::state() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

void URLSessionDataTask::resume()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_state != State::suspended || m_cancelled)
            return;
        m_state = State::running;
    }
    m_session->start(shared_from_this());
}

void URLSessionDataTask::cancel()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::completed || m_cancelled)
            return;
        m_cancelled = true;
    }
    m_session->cancel(shared_from_this());
}

bool URLSessionDataTask::markCompleted()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::completed)
            return false;
        m_state = State::completed;
    }
    m_session->taskCompleted(m_taskIdentifier);
    return true;
}

} // namespace Lumen
