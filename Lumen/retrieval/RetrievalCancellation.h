#pragma once

#include <atomic>
#include <memory>
#include <mutex>

namespace Lumen {

class DownloadTask;

// Stops one retrieval at whatever stage it has reached: the download running now is
// cancelled, and no further step (a download after a cache miss, a retry, another source)
// starts. A cancel that comes before the running download is known cancels it once it is.
class RetrievalCancellation {
public:
    void cancel();
    bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }
    // The download the first attempt's call answered; null when it has none. Ignored once a
    // later download was reported, since that one may come in first.
    void firstTaskStarted(std::shared_ptr<DownloadTask> task) { store(std::move(task), false); }
    // The download of a later step (a retry, another source, a load after a cache entry could
    // not be read), which may start before the first attempt's call returns; null when none.
    void laterTaskStarted(std::shared_ptr<DownloadTask> task) { store(std::move(task), true); }

private:
    void store(std::shared_ptr<DownloadTask> task, bool isLater);

    std::atomic<bool> m_cancelled{false};
    std::mutex m_mutex;
    std::shared_ptr<DownloadTask> m_task;
    bool m_laterTaskStarted = false;
};

} // namespace Lumen
