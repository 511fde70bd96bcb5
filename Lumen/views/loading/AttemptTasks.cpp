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
    {
        std::lock_guard lock(m_mutex);
        if (!isLater && m_laterAttemptStarted)
            return;
        m_laterAttemptStarted = m_laterAttemptStarted || isLater;
        if (!m_cancelled) {
            m_task = std::move(task);
            return;
        }
    }
    // Cancelling may run the download's completion at once: never under the lock.
    if (task)
        task->cancel();
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

} // namespace Lumen
