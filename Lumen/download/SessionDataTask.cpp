#include "Lumen/download/SessionDataTask.h"

#include <utility>

namespace Lumen {

QByteArray SessionDataTask::mutableData() const
{
    std::lock_guard lock(m_lock);
    return m_mutableData;
}

void SessionDataTask::didReceiveData(const QByteArray& data)
{
    std::lock_guard lock(m_lock);
    m_mutableData.append(data);
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
