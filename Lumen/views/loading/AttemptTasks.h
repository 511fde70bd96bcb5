#pragma once

#include <memory>
#include <mutex>
#include <optional>

namespace Lumen {

class DownloadTask;

// The download task of the attempt one image-setting request is running (the first, then a
// retry or another source), so that a cancel or a priority reaches whichever attempt runs. A
// cancel and a priority are remembered: they also reach every task handed in afterwards. Any
// thread.
class AttemptTasks {
public:
    // The task the retrieval answered when it started. Ignored once a later attempt reported
    // its own, since that one may come in first.
    void firstAttemptStarted(std::shared_ptr<DownloadTask> task);
    // The task of an attempt after the first; null when that attempt downloads nothing.
    void laterAttemptStarted(std::shared_ptr<DownloadTask> task);
    void cancel();
    void setPriority(float priority);
    // Null while no attempt downloads.
    std::shared_ptr<DownloadTask> current() const;

private:
    void store(std::shared_ptr<DownloadTask> task, bool isLater);

    mutable std::mutex m_mutex;
    std::shared_ptr<DownloadTask> m_task;
    bool m_laterAttemptStarted = false;
    bool m_cancelled = false;
    std::optional<float> m_priority;
};

} // namespace Lumen
