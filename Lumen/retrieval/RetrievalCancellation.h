#pragma once

#include "Lumen/download/CancellationDownloadTask.h"

#include <atomic>
#include <memory>

namespace Lumen {

class DownloadTask;

// Stops one retrieval at whatever stage it has reached: the download running now is
// cancelled, and no further step (a download after a cache miss, a retry, another source)
// starts. A cancel that comes before the running download is known cancels it once it is.
class RetrievalCancellation {
public:
    void cancel();
    bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }
    // The download of the running attempt; null when it has none.
    void setTask(std::shared_ptr<DownloadTask> task) { m_task.setTask(std::move(task)); }

private:
    std::atomic<bool> m_cancelled{false};
    CancellationDownloadTask m_task;
};

} // namespace Lumen
