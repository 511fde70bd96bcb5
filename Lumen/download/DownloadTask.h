#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace Lumen {

class SessionDataTask;
class SharedDownload;

// One caller's handle on a download: cancelling it withdraws this caller only; the shared
// transfer stops when no caller is left. A task handed out before its transfer is known (while
// a request modifier runs) is linked later; a cancel that comes before is kept and applied
// as soon as the task is linked.
class DownloadTask {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // What a retrieval's load started: a download, or a data provider's load, which has
    // nothing to cancel.
    class WrappedTask {
    public:
        static WrappedTask download(std::shared_ptr<DownloadTask> task) { return WrappedTask(std::move(task)); }
        static WrappedTask dataProviding() { return WrappedTask(nullptr); }

        bool isDataProviding() const { return !m_task; }
        // The download; null for a provider's load.
        const std::shared_ptr<DownloadTask>& task() const { return m_task; }
        // Cancels the download; a provider's load runs to its end.
        void cancel() const;

    private:
        explicit WrappedTask(std::shared_ptr<DownloadTask> task) : m_task(std::move(task)) {}
        std::shared_ptr<DownloadTask> m_task;
    };

    // An empty task, to be linked.
    static std::shared_ptr<DownloadTask> make();
    static std::shared_ptr<DownloadTask> make(std::shared_ptr<SessionDataTask> sessionTask, std::int64_t cancelToken);
    // The handle of `caller` on a shared download: cancelling it withdraws that caller; the
    // session task, and so the priority, are those of the download's transfer once known. Its
    // token is its own, negative: it names no caller of the transfer's task, so a cancel of
    // that task with it withdraws nobody.
    static std::shared_ptr<DownloadTask> make(std::shared_ptr<SharedDownload> download, std::uint64_t caller);

    DownloadTask(Passkey, std::shared_ptr<SessionDataTask> sessionTask, std::optional<std::int64_t> cancelToken,
                 std::shared_ptr<SharedDownload> sharedDownload = nullptr, std::uint64_t sharedCaller = 0);
    DownloadTask(const DownloadTask&) = delete;
    DownloadTask& operator=(const DownloadTask&) = delete;

    std::shared_ptr<SessionDataTask> sessionTask() const;
    std::optional<std::int64_t> cancelToken() const;
    bool isInitialized() const;

    void cancel();
    // The transfer's priority, 0 to 1. It is shared, so this reaches every caller of the same
    // URL. Does nothing before the task is linked.
    void setPriority(float priority);
    // Whether `cancel` was called, linked or not.
    bool isCancelRequested() const;
    // Takes the other task's session task and token, in one step; linked to a handle on a shared
    // download, this task stands for that handle's caller.
    void linkToTask(const DownloadTask& other);

private:
    static void withdraw(const std::shared_ptr<SessionDataTask>& sessionTask, std::optional<std::int64_t> token,
                         const std::shared_ptr<SharedDownload>& sharedDownload, std::uint64_t sharedCaller);

    mutable std::mutex m_mutex;
    std::shared_ptr<SharedDownload> m_sharedDownload;
    std::uint64_t m_sharedCaller;
    std::shared_ptr<SessionDataTask> m_sessionTask;
    std::optional<std::int64_t> m_cancelToken;
    bool m_cancelRequested = false;
};

} // namespace Lumen
