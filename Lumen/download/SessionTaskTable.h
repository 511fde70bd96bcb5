#pragma once

#include "Lumen/download/SessionDataTask.h"

#include <QHash>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace Lumen {

class URLSessionDataTask;

// The running transfers of a session delegate, one per URL. Every step that registers a
// caller, or that ends a task and so removes it, is one hold of the table's lock (taken before
// any task's lock), so a caller either joins a task before it ends or starts a new one. What a
// step takes out of the table, a task or a caller, is released after the lock.
class SessionTaskTable : public std::enable_shared_from_this<SessionTaskTable> {
public:
    struct Registration {
        std::shared_ptr<SessionDataTask> task;
        // `SessionDataTask::firstToken` for the caller whose registration made the task.
        std::int64_t token = 0;
    };
    struct Finished {
        std::shared_ptr<SessionDataTask> task;
        std::vector<SessionDataTask::TaskCallback> callbacks;
    };
    // Makes a task registered in `table`; called with the lock held, so it must be quick and
    // must not call back into the table.
    using MakeTask = std::function<std::shared_ptr<SessionDataTask>(std::weak_ptr<SessionTaskTable> table)>;

    // Joins the open task of `url`, or makes, stores and joins a new one.
    Registration add(const QUrl& url, SessionDataTask::TaskCallback callback, const MakeTask& makeTask);

    std::shared_ptr<SessionDataTask> task(const QUrl& url) const;
    // The entry of the transfer's URL, only when it holds that very transfer.
    std::shared_ptr<SessionDataTask> task(const URLSessionDataTask& transfer) const;
    std::vector<std::shared_ptr<SessionDataTask>> all() const;

    // Closes the entry of `transfer` and removes it, answering the callers it held; nothing
    // when the table holds no entry for that very transfer.
    std::optional<Finished> finish(const URLSessionDataTask& transfer);
    // Withdraws a caller of `task`; when it was the last one, the task is closed and leaves
    // the table in the same step.
    std::optional<SessionDataTask::TaskCallback> withdraw(SessionDataTask& task, std::int64_t token);

private:
    std::shared_ptr<SessionDataTask> entryLocked(const URLSessionDataTask& transfer) const;
    // Answers the entry taken out, for the caller to release after the lock.
    std::shared_ptr<SessionDataTask> removeLocked(const SessionDataTask& task);

    mutable std::mutex m_lock;
    QHash<QUrl, std::shared_ptr<SessionDataTask>> m_tasks;
};

} // namespace Lumen
