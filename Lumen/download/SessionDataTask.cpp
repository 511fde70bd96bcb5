#include "Lumen/download/SessionDataTask.h"

#include <utility>

namespace Lumen {

QByteArray SessionDataTask::mutableData() const
{
    std::lock_guard lock(m_lock);
    return QByteArray(m_mutableData.constData(), m_mutableData.size());
}

qsizetype SessionDataTask::receivedByteCount() const
{
    std::lock_guard lock(m_lock);
    return m_mutableData.size();
}

void SessionDataTask::didReceiveData(const QByteArray& data)
{
    std::lock_guard lock(m_lock);
    // Copied, never adopted: the caller's buffer may be shared with other threads.
    m_mutableData.append(data.constData(), data.size());
}

std::optional<URLResponse> SessionDataTask::response() const
{
    std::lock_guard lock(m_lock);
    return m_response;
}

void SessionDataTask::setResponse(URLResponse response)
{
    std::lock_guard lock(m_lock);
    m_response = std::move(response);
}

} // namespace Lumen
