#include "Lumen/views/loading/LivePhotoSettingTask.h"

#include "Lumen/retrieval/LivePhotoDownloadGroup.h"

#include <utility>

namespace Lumen {

// Cancelling may end the group, and so run its completion, at once: the holder never does it
// under its lock.
void LivePhotoSettingTask::cancel()
{
    m_downloads.cancel();
}

bool LivePhotoSettingTask::isCancelled() const
{
    return m_downloads.isCancelled();
}

void LivePhotoSettingTask::setDownloads(std::shared_ptr<LivePhotoDownloadGroup> downloads)
{
    m_downloads.setTask(std::move(downloads));
}

} // namespace Lumen
