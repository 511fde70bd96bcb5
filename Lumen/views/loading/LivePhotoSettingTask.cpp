#include "Lumen/views/loading/LivePhotoSettingTask.h"

#include "Lumen/retrieval/LivePhotoDownloadGroup.h"

#include <utility>

namespace Lumen {

void LivePhotoSettingTask::cancel()
{
    std::shared_ptr<LivePhotoDownloadGroup> downloads;
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        downloads = m_downloads;
    }
    // Cancelling may end the group, and so run its completion, at once: never under the lock.
    if (downloads)
        downloads->cancel();
}

bool LivePhotoSettingTask::isCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

void LivePhotoSettingTask::setDownloads(std::shared_ptr<LivePhotoDownloadGroup> downloads)
{
    bool cancelled = false;
    {
        std::lock_guard lock(m_mutex);
        cancelled = m_cancelled;
        m_downloads = downloads;
    }
    if (cancelled && downloads)
        downloads->cancel();
}

} // namespace Lumen
