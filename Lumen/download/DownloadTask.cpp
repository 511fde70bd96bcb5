#include "Lumen/download/DownloadTask.h"

#include "Lumen/download/SessionDataTask.h"
#include "Lumen/download/SharedDownload.h"
#include "Lumen/download/URLSessionDataTask.h"

#include <cstdint>
#include <utility>

namespace Lumen {

void DownloadTask::WrappedTask::cancel() const
{
    if (m_task)
        m_task->cancel();
}

std::shared_ptr<DownloadTask> DownloadTask::make()
{
    return std::make_shared<DownloadTask>(Passkey{}, nullptr, std::nullopt);
}

std::shared_ptr<DownloadTask> DownloadTask::make(std::shared_ptr<SessionDataTask> sessionTask, std::int64_t cancelToken)
{
    return std::make_shared<DownloadTask>(Passkey{}, std::move(sessionTask), cancelToken);
}

std::shared_ptr<DownloadTask> DownloadTask::make(std::shared_ptr<SharedDownload> download, std::uint64_t caller)
{
    const std::int64_t token = -1 - std::int64_t(caller & std::uint64_t(INT64_MAX));
    return std::make_shared<DownloadTask>(Passkey{}, nullptr, token, std::move(download), caller);
}

DownloadTask::DownloadTask(Passkey, std::shared_ptr<SessionDataTask> sessionTask,
                           std::optional<std::int64_t> cancelToken, std::shared_ptr<SharedDownload> sharedDownload,
                           std::uint64_t sharedCaller)
    : m_sharedDownload(std::move(sharedDownload))
    , m_sharedCaller(sharedCaller)
    , m_sessionTask(std::move(sessionTask))
    , m_cancelToken(cancelToken)
{
}

std::shared_ptr<SessionDataTask> DownloadTask::sessionTask() const
{
    std::shared_ptr<SharedDownload> sharedDownload;
    {
        std::lock_guard lock(m_mutex);
        if (!m_sharedDownload)
            return m_sessionTask;
        sharedDownload = m_sharedDownload;
    }
    const auto transfer = sharedDownload->transfer();
    return transfer ? transfer->sessionTask() : nullptr;
}

std::optional<std::int64_t> DownloadTask::cancelToken() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelToken;
}

bool DownloadTask::isInitialized() const
{
    return sessionTask() && cancelToken();
}

bool DownloadTask::isCancelRequested() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelRequested;
}

void DownloadTask::cancel()
{
    std::shared_ptr<SessionDataTask> sessionTask;
    std::optional<std::int64_t> token;
    std::shared_ptr<SharedDownload> sharedDownload;
    std::uint64_t sharedCaller = 0;
    {
        std::lock_guard lock(m_mutex);
        m_cancelRequested = true;
        sessionTask = m_sessionTask;
        token = m_cancelToken;
        sharedDownload = m_sharedDownload;
        sharedCaller = m_sharedCaller;
    }
    withdraw(sessionTask, token, sharedDownload, sharedCaller);
}

void DownloadTask::withdraw(const std::shared_ptr<SessionDataTask>& sessionTask, std::optional<std::int64_t> token,
                            const std::shared_ptr<SharedDownload>& sharedDownload, std::uint64_t sharedCaller)
{
    if (sharedDownload)
        sharedDownload->withdraw(sharedCaller);
    else if (sessionTask && token)
        sessionTask->cancel(*token);
}

void DownloadTask::setPriority(float priority)
{
    if (const std::shared_ptr<SessionDataTask> task = sessionTask(); task && task->task())
        task->task()->setPriority(priority);
}

void DownloadTask::linkToTask(const DownloadTask& other)
{
    std::shared_ptr<SessionDataTask> sessionTask;
    std::optional<std::int64_t> token;
    std::shared_ptr<SharedDownload> sharedDownload;
    std::uint64_t sharedCaller = 0;
    {
        std::lock_guard lock(other.m_mutex);
        sessionTask = other.m_sessionTask;
        token = other.m_cancelToken;
        sharedDownload = other.m_sharedDownload;
        sharedCaller = other.m_sharedCaller;
    }
    bool cancelNow = false;
    // Whatever this task held goes after the lock.
    std::shared_ptr<SessionDataTask> previous;
    std::shared_ptr<SharedDownload> previousSharedDownload;
    {
        std::lock_guard lock(m_mutex);
        previous = std::exchange(m_sessionTask, sessionTask);
        m_cancelToken = token;
        previousSharedDownload = std::exchange(m_sharedDownload, sharedDownload);
        m_sharedCaller = sharedCaller;
        cancelNow = m_cancelRequested;
    }
    if (cancelNow)
        withdraw(sessionTask, token, sharedDownload, sharedCaller);
}

} // namespace Lumen
