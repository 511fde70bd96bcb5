#include "Lumen/retrieval/RetrievalControl.h"

#include "Lumen/download/DownloadTask.h"

#include <utility>

namespace Lumen {

void RetrievalControl::cancel()
{
    // The flag first: a step that finds its download cancelled also finds the retrieval so.
    m_cancelled.store(true, std::memory_order_release);
    // Cancelling may answer the attempt at once: never under the lock.
    if (const std::shared_ptr<DownloadTask> task = currentTask())
        task->cancel();
}

bool RetrievalControl::isCancelled() const
{
    if (m_cancelled.load(std::memory_order_acquire))
        return true;
    const std::shared_ptr<DownloadTask> task = currentTask();
    return task && task->isCancelRequested();
}

void RetrievalControl::setPriority(float priority)
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

std::shared_ptr<DownloadTask> RetrievalControl::currentTask() const
{
    std::lock_guard lock(m_mutex);
    return m_task;
}

void RetrievalControl::store(std::shared_ptr<DownloadTask> task, bool isLater)
{
    std::optional<float> priority;
    // The task before goes after the guard.
    std::shared_ptr<DownloadTask> replaced;
    {
        std::lock_guard lock(m_mutex);
        if (!isLater && m_laterTaskStarted)
            return;
        m_laterTaskStarted = m_laterTaskStarted || isLater;
        priority = m_priority;
        replaced = std::exchange(m_task, task);
    }
    if (!task)
        return;
    if (m_cancelled.load(std::memory_order_acquire))
        task->cancel();
    else if (priority)
        task->setPriority(*priority);
}

} // namespace Lumen
