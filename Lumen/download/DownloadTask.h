#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace Lumen {

class SessionDataTask;

// One caller's handle on a download: cancelling it withdraws this caller only; the shared
// transfer stops when no caller is left. A task handed out before its transfer is known (while
// a request modifier runs) is linked later; a cancel that comes before is kept and applied
// as soon as the task is linked.
class DownloadTask {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // An empty task, to be linked.
    static std::shared_ptr<DownloadTask> make();
    static std::shared_ptr<DownloadTask> make(std::shared_ptr<SessionDataTask> sessionTask, std::int64_t cancelToken);

    DownloadTask(Passkey, std::shared_ptr<SessionDataTask> sessionTask, std::optional<std::int64_t> cancelToken);
    DownloadTask(const DownloadTask&) = delete;
    DownloadTask& operator=(const DownloadTask&) = delete;

    std::shared_ptr<SessionDataTask> sessionTask() const;
    std::optional<std::int64_t> cancelToken() const;
    bool isInitialized() const;

    void cancel();
    // The transfer's priority, 0 to 1. It is shared, so this reaches every caller of the same
    // URL. Does nothing before the task is linked.
    void setPriority(float priority);
    // Takes the other task's session task and token, in one step.
    void linkToTask(const DownloadTask& other);

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<SessionDataTask> m_sessionTask;
    std::optional<std::int64_t> m_cancelToken;
    bool m_cancelRequested = false;
};

} // namespace Lumen
