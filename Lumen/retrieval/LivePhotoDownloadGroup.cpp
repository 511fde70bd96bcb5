#include "Lumen/retrieval/LivePhotoDownloadGroup.h"

#include "Lumen/download/DownloadTask.h"

#include <utility>

namespace Lumen {

LivePhotoDownloadGroup::LivePhotoDownloadGroup(std::size_t count, std::function<void(Result)> done)
    : m_remaining(count), m_done(std::move(done))
{
    if (count == 0) {
        m_ended = true;
        std::exchange(m_done, {})(std::vector<LivePhotoResourceDownloadingResult>());
    }
}

void LivePhotoDownloadGroup::cancel()
{
    fail(LumenError::RequestErrorReason::TaskCancelled{});
}

bool LivePhotoDownloadGroup::hasEnded() const
{
    std::lock_guard lock(m_mutex);
    return m_ended;
}

void LivePhotoDownloadGroup::addTask(std::shared_ptr<DownloadTask> task)
{
    if (!task)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (!m_ended) {
            m_tasks.push_back(std::move(task));
            return;
        }
    }
    task->cancel();
}

void LivePhotoDownloadGroup::childFinished(ChildResult result)
{
    if (!result) {
        fail(std::move(result.error()));
        return;
    }
    std::function<void(Result)> done;
    std::vector<LivePhotoResourceDownloadingResult> results;
    // Go after the guard.
    std::vector<std::shared_ptr<DownloadTask>> finished;
    {
        std::lock_guard lock(m_mutex);
        if (m_ended)
            return;
        m_results.push_back(std::move(*result));
        if (--m_remaining > 0)
            return;
        m_ended = true;
        finished = std::exchange(m_tasks, {});
        done = std::exchange(m_done, {});
        results = std::move(m_results);
    }
    done(std::move(results));
}

void LivePhotoDownloadGroup::fail(LumenError error)
{
    std::function<void(Result)> done;
    std::vector<std::shared_ptr<DownloadTask>> running;
    {
        std::lock_guard lock(m_mutex);
        if (m_ended)
            return;
        m_ended = true;
        done = std::exchange(m_done, {});
        running = std::exchange(m_tasks, {});
    }
    for (const auto& task : running)
        task->cancel();
    done(std::unexpected(std::move(error)));
}

} // namespace Lumen
