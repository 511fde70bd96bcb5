#include "Lumen/views/loading/AttemptTasks.h"

#include "Lumen/download/DownloadTask.h"

#include <utility>

namespace Lumen {

void AttemptTasks::firstAttemptStarted(std::shared_ptr<DownloadTask> task)
{
    store(std::move(task), false);
}

void AttemptTasks::laterAttemptStarted(std::shared_ptr<DownloadTask> task)
{
    store(std::move(task), true);
}

void AttemptTasks::store(std::shared_ptr<DownloadTask> task, bool isLater)
{
    bool cancelled = false;
    std::optional<float> priority;
    {
        std::lock_guard lock(m_mutex);
        if (!isLater && m_laterAttemptStarted)
            return;
        m_laterAttemptStarted = m_laterAttemptStarted || isLater;
        cancelled = m_cancelled;
        priority = m_priority;
        if (!cancelled)
            m_task = task;
    }
    if (!task)
        return;
    // Cancelling may run the download's completion at once: never under the lock.
    if (cancelled)
        task->cancel();
    else if (priority)
        task->setPriority(*priority);
}

void AttemptTasks::cancel()
{
    std::shared_ptr<DownloadTask> task;
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        task = m_task;
    }
    if (task)
        task->cancel();
}


void AttemptTasks::setPriority(float priority)
{
    std::shared_ptr<DownloadTask> task;
    {
        std::lock_guard lock(m_mutex);
        m_priority = priority;
        task = m_task;
    }
    if (task)
        task->setPriority(priority);
}

std::shared_ptr<DownloadTask> AttemptTasks::current() const
{
    std::lock_guard lock(m_mutex);
    return m_task;
}

} // namespace Lumen
