#include "Lumen/retrieval/RetrievalCancellation.h"

#include "Lumen/download/DownloadTask.h"

#include <utility>

namespace Lumen {

void RetrievalCancellation::cancel()
{
    // The flag first: a step that finds its download cancelled also finds the retrieval so.
    m_cancelled.store(true, std::memory_order_release);
    std::shared_ptr<DownloadTask> task;
    {
        std::lock_guard lock(m_mutex);
        task = m_task;
    }
    if (task)
        task->cancel();
}

void RetrievalCancellation::store(std::shared_ptr<DownloadTask> task, bool isLater)
{
    {
        std::lock_guard lock(m_mutex);
        if (!isLater && m_laterTaskStarted)
            return;
        m_laterTaskStarted = m_laterTaskStarted || isLater;
        if (!isCancelled()) {
            m_task = std::move(task);
            return;
        }
    }
    // Cancelling may answer the attempt at once: never under the lock.
    if (task)
        task->cancel();
}

} // namespace Lumen
