#pragma once

#include "Lumen/download/ImageLoadingResult.h"
#include "Lumen/download/URLResponse.h"
#include "Lumen/foundation/Delegate.h"
#include "Lumen/foundation/LumenError.h"
#include "Lumen/foundation/LumenOptionsInfo.h"

#include <QByteArray>
#include <QUrl>

#include <cstdint>
#include <expected>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace Lumen {

class SessionTaskTable;
class URLSessionDataTask;

// One running transfer, shared by reference between every caller waiting for the same URL
// and by the errors that name it. Each caller waits under its own token and may withdraw
// alone; the transfer itself ends when it completes or its last caller withdraws. Once ended
// the task is closed: it takes no more callers. Received bytes, the response and the callers
// are guarded by the task's lock; when the task sits in a table, the table's lock is taken
// first for every step that may close it. A caller's callback is released outside both.
class SessionDataTask : public std::enable_shared_from_this<SessionDataTask> {
public:
    using CompletionResult = std::expected<ImageLoadingResult, LumenError>;

    // One waiting caller: its completion (absent when it gave none) and its own options.
    struct TaskCallback {
        std::shared_ptr<Delegate<CompletionResult>> onCompleted;
        LumenParsedOptionsInfo options;
    };
    struct DownloadedData {
        QByteArray data;
        std::optional<URLResponse> response;
    };
    using TaskResult = std::expected<DownloadedData, LumenError>;
    // The outcome and the callers it concerns.
    struct TaskDone {
        TaskResult result;
        std::vector<TaskCallback> callbacks;
    };
    struct CancelledCallback {
        std::int64_t token = 0;
        TaskCallback callback;
    };

    // The token of the caller whose registration made the task: the one that starts it.
    static constexpr std::int64_t firstToken = 0;

    // `task` is the transfer (none for a task that only collects data, as in tests of the
    // side effects that read it); `table` is the table the task is registered in, if any.
    explicit SessionDataTask(std::shared_ptr<URLSessionDataTask> task = nullptr,
                             std::weak_ptr<SessionTaskTable> table = {});
    SessionDataTask(const SessionDataTask&) = delete;
    SessionDataTask& operator=(const SessionDataTask&) = delete;

    const std::shared_ptr<URLSessionDataTask>& task() const { return m_task; }
    // The URL of the transfer's original request: the task's key in its table.
    const std::optional<QUrl>& originalURL() const { return m_originalURL; }

    // Every byte received so far, sharing the task's buffer: once the transfer has completed,
    // handing the body on copies nothing (a read while bytes still arrive makes the next one
    // copy).
    QByteArray mutableData() const;
    qsizetype receivedByteCount() const;
    void didReceiveData(const QByteArray& data);

    // The transfer's response; absent until its headers have arrived.
    std::optional<URLResponse> response() const;
    void setResponse(URLResponse response);

    // The waiting callers, in token order.
    std::vector<TaskCallback> callbacks() const;
    bool containsCallbacks() const;
    // The caller's token (0, 1, 2 ..., never reused); nothing once the task is closed, leaving
    // `callback` with the caller.
    std::optional<std::int64_t> addCallback(TaskCallback&& callback);

    bool isStarted() const;
    bool isClosed() const;
    // Starts the transfer once; never a closed task's.
    void resume();

    // Takes one caller out without telling it; an unknown or already withdrawn token does
    // nothing. The transfer goes on, and ends as it would, even with no caller left.
    std::optional<TaskCallback> removeCallback(std::int64_t token);
    // Takes every caller out without telling them; the transfer goes on.
    void removeAllCallbacks();
    // Withdraws one caller, who hears of it through `onCallbackCancelled`. The last caller's
    // withdrawal closes the task and ends its transfer, which nobody waits for any more.
    void cancel(std::int64_t token);
    // Withdraws every caller waiting now.
    void forceCancel();

    Delegate<TaskDone>& onTaskDone() const { return *m_onTaskDone; }
    Delegate<CancelledCallback>& onCallbackCancelled() const { return *m_onCallbackCancelled; }

private:
    friend class SessionTaskTable;
    // With the table's lock held, if any. `closeIfLast` closes the task when it takes the last
    // caller out.
    std::optional<TaskCallback> withdraw(std::int64_t token, bool closeIfLast);
    std::vector<TaskCallback> close();

    const std::shared_ptr<URLSessionDataTask> m_task;
    const std::optional<QUrl> m_originalURL;
    const std::weak_ptr<SessionTaskTable> m_table;
    const std::shared_ptr<Delegate<TaskDone>> m_onTaskDone = Delegate<TaskDone>::make();
    const std::shared_ptr<Delegate<CancelledCallback>> m_onCallbackCancelled = Delegate<CancelledCallback>::make();

    mutable std::mutex m_lock;
    QByteArray m_mutableData;
    std::optional<URLResponse> m_response;
    std::map<std::int64_t, TaskCallback> m_callbacksStore;
    std::int64_t m_currentToken = firstToken;
    bool m_started = false;
    bool m_closed = false;
};

} // namespace Lumen
