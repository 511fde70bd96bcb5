#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace Lumen {

class DownloadTask;

// A caller's hold on one retrieval, whichever attempt runs. A cancel stops the retrieval at
// whatever stage it has reached: the download running now is cancelled, and no further step (a
// download after a cache miss, a retry, another source) starts. A cancel of the handle the
// caller was last given counts as the caller's too; a cancel the caller did not make (the
// downloader's, a replaced session's) does not. A priority reaches the download running now and
// every later one. The retrieval reports each download it starts. Any thread.
class RetrievalControl {
public:
    void cancel();
    bool isCancelled() const;
    // The transfer's priority, 0 to 1.
    void setPriority(float priority);
    // The download of the attempt running now; null when it downloads nothing.
    std::shared_ptr<DownloadTask> currentTask() const;

    // The download the first attempt's call answered; null when it has none. Ignored once a
    // later download was reported, since that one may come in first.
    void firstTaskStarted(std::shared_ptr<DownloadTask> task) { store(std::move(task), false); }
    // The download of a later step (a retry, another source, a load after a cache entry could
    // not be read); null when none.
    void laterTaskStarted(std::shared_ptr<DownloadTask> task) { store(std::move(task), true); }

private:
    void store(std::shared_ptr<DownloadTask> task, bool isLater);

    std::atomic<bool> m_cancelled{false};
    mutable std::mutex m_mutex;
    std::shared_ptr<DownloadTask> m_task;
    bool m_laterTaskStarted = false;
    std::optional<float> m_priority;
};

} // namespace Lumen
