#include "Lumen/download/CancellationDownloadTask.h"

#include "Lumen/download/DownloadTask.h"

#include <utility>

namespace Lumen {

void CancellationDownloadTask::setTask(std::shared_ptr<DownloadTask> task)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_cancelled) {
            m_task = std::move(task);
            return;
        }
    }
    if (task)
        task->cancel();
}

void CancellationDownloadTask::cancel()
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
