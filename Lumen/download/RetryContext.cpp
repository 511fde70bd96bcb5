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
    // What it replaces, which may hold the last reference to a transfer and its callers'
    // closures, goes after the lock.
    std::lock_guard lock(m_mutex);
    std::swap(m_error, error);
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
    // The caller's value it replaces goes after the lock.
    std::lock_guard lock(m_mutex);
    std::swap(m_userInfo, userInfo);
}

RetryContext& RetryContext::increaseRetryCount()
{
    std::lock_guard lock(m_mutex);
    ++m_retriedCount;
    return *this;
}

} // namespace Lumen
