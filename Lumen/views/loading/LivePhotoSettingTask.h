#pragma once

#include "Lumen/download/CancellationDownloadTask.h"

#include <memory>

namespace Lumen {

class LivePhotoDownloadGroup;

// The handle of one live-photo load into a view. Cancelling stops the load at whatever stage
// it is in: fetching the files, or making the pair into a live photo once they are on disk.
// A cancelled load shows nothing and ends with `taskCancelled` while a file is fetched, with
// `livePhotoTaskCancelled` at any other stage. Any thread.
class LivePhotoSettingTask {
public:
    void cancel();
    bool isCancelled() const;
    // The fetches of the files; cancelled at once when the load was cancelled before.
    void setDownloads(std::shared_ptr<LivePhotoDownloadGroup> downloads);

private:
    CancellationHolder<LivePhotoDownloadGroup> m_downloads;
};

} // namespace Lumen
