#pragma once

#include <memory>
#include <mutex>

namespace Lumen {

class DownloadTask;

// Lets an asynchronous caller cancel a download whose task it receives only later: a cancel
// is remembered, and cancels a task stored afterwards at once.
class CancellationDownloadTask {
public:
    void setTask(std::shared_ptr<DownloadTask> task);
    void cancel();

private:
    std::mutex m_mutex;
    std::shared_ptr<DownloadTask> m_task;
    bool m_cancelled = false;
};

} // namespace Lumen
