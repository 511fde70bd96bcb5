#pragma once

#include "Lumen/download/DownloadTask.h"

#include <memory>
#include <mutex>
#include <utility>

namespace Lumen {

// Lets an asynchronous caller cancel work whose handle it receives only later: a cancel is
// remembered, and cancels a handle stored afterwards at once. `Task` needs only `cancel()`.
template<class Task>
class CancellationHolder {
public:
    void setTask(std::shared_ptr<Task> task)
    {
        {
            std::lock_guard lock(m_mutex);
            if (!m_cancelled) {
                // The task it replaces goes after the lock.
                std::swap(m_task, task);
                return;
            }
        }
        if (task)
            task->cancel();
    }

    void cancel()
    {
        std::shared_ptr<Task> task;
        {
            std::lock_guard lock(m_mutex);
            m_cancelled = true;
            task = m_task;
        }
        if (task)
            task->cancel();
    }

    bool isCancelled() const
    {
        std::lock_guard lock(m_mutex);
        return m_cancelled;
    }

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<Task> m_task;
    bool m_cancelled = false;
};

// The holder of a download's task.
class CancellationDownloadTask : public CancellationHolder<DownloadTask> {};

} // namespace Lumen
