#include "Lumen/download/RetryContext.h"

#include <utility>

namespace Lumen {

RetryContext::RetryContext(Source source, LumenError error)
    : m_source(std::move(source))
    , m_error(std::move(error))
{
}

LumenError RetryContext::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void RetryContext::setError(LumenError error)
{
    std::lock_guard lock(m_mutex);
    m_error = std::move(error);
}

int RetryContext::retriedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_retriedCount;
}

void RetryContext::setRetriedCount(int count)
{
    std::lock_guard lock(m_mutex);
    m_retriedCount = count;
}

std::any RetryContext::userInfo() const
{
    std::lock_guard lock(m_mutex);
    return m_userInfo;
}

void RetryContext::setUserInfo(std::any userInfo)
{
    std::lock_guard lock(m_mutex);
    m_userInfo = std::move(userInfo);
}

RetryContext& RetryContext::increaseRetryCount()
{
    std::lock_guard lock(m_mutex);
    ++m_retriedCount;
    return *this;
}

} // namespace Lumen
