#include "Lumen/download/SessionTaskTable.h"

#include "Lumen/download/URLSessionDataTask.h"

#include <utility>

namespace Lumen {

SessionTaskTable::Registration SessionTaskTable::add(const QUrl& url, SessionDataTask::TaskCallback callback,
                                                     const MakeTask& makeTask)
{
    // A closed task this one replaces goes after the lock.
    std::shared_ptr<SessionDataTask> replaced;
    std::lock_guard lock(m_lock);
    // The store takes the caller's only copy: none left here can be the last once the task ends.
    if (const auto running = m_tasks.value(url)) {
        if (const auto token = running->addCallback(std::move(callback)))
            return Registration{running, *token};
    }
    auto task = makeTask(weak_from_this());
    const auto token = task->addCallback(std::move(callback));
    replaced = std::exchange(m_tasks[url], task);
    return Registration{std::move(task), token.value_or(SessionDataTask::firstToken)};
}

std::shared_ptr<SessionDataTask> SessionTaskTable::task(const QUrl& url) const
{
    std::lock_guard lock(m_lock);
    return m_tasks.value(url);
}

std::shared_ptr<SessionDataTask> SessionTaskTable::task(const URLSessionDataTask& transfer) const
{
    std::lock_guard lock(m_lock);
    return entryLocked(transfer);
}

std::vector<std::shared_ptr<SessionDataTask>> SessionTaskTable::all() const
{
    std::lock_guard lock(m_lock);
    return {m_tasks.cbegin(), m_tasks.cend()};
}

std::optional<SessionTaskTable::Finished> SessionTaskTable::finish(const URLSessionDataTask& transfer)
{
    std::lock_guard lock(m_lock);
    auto task = entryLocked(transfer);
    if (!task)
        return std::nullopt;
    auto callbacks = task->close();
    m_tasks.remove(transfer.originalRequest().url);
    return Finished{std::move(task), std::move(callbacks)};
}

std::optional<SessionDataTask::TaskCallback> SessionTaskTable::withdraw(SessionDataTask& task, std::int64_t token)
{
    std::shared_ptr<SessionDataTask> removed;
    std::lock_guard lock(m_lock);
    auto callback = task.withdraw(token, true);
    if (callback && task.isClosed())
        removed = removeLocked(task);
    return callback;
}

std::shared_ptr<SessionDataTask> SessionTaskTable::entryLocked(const URLSessionDataTask& transfer) const
{
    const auto entry = m_tasks.value(transfer.originalRequest().url);
    if (!entry || !entry->task() || entry->task()->taskIdentifier() != transfer.taskIdentifier())
        return nullptr;
    return entry;
}

std::shared_ptr<SessionDataTask> SessionTaskTable::removeLocked(const SessionDataTask& task)
{
    // Only this very task: a newer one may have taken the URL since.
    if (!task.originalURL())
        return nullptr;
    const auto found = m_tasks.find(*task.originalURL());
    if (found == m_tasks.end() || found->get() != &task)
        return nullptr;
    auto removed = std::move(*found);
    m_tasks.erase(found);
    return removed;
}

} // namespace Lumen
