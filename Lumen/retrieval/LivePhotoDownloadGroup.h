#pragma once

#include "Lumen/download/LivePhotoResourceDownloadingResult.h"
#include "Lumen/foundation/LumenError.h"

#include <cstddef>
#include <expected>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace Lumen {

class DownloadTask;

// The fetches of a live photo's missing files, run side by side: it answers once, with what
// every fetch gave in the order they finished, or with the first failure, when the downloads
// still running are cancelled. Any thread.
class LivePhotoDownloadGroup {
public:
    using ChildResult = std::expected<LivePhotoResourceDownloadingResult, LumenError>;
    using Result = std::expected<std::vector<LivePhotoResourceDownloadingResult>, LumenError>;

    // Answers at once when `count` is zero.
    LivePhotoDownloadGroup(std::size_t count, std::function<void(Result)> done);

    // Ends the group with `taskCancelled` and cancels its downloads; no file is stored after.
    void cancel();
    bool hasEnded() const;

    // A download of the group; cancelled at once when the group has ended.
    void addTask(std::shared_ptr<DownloadTask> task);
    // One fetch finished (its file stored, if it could be).
    void childFinished(ChildResult result);

private:
    void fail(LumenError error);

    mutable std::mutex m_mutex;
    std::size_t m_remaining;
    bool m_ended = false;
    std::vector<LivePhotoResourceDownloadingResult> m_results;
    std::vector<std::shared_ptr<DownloadTask>> m_tasks;
    std::function<void(Result)> m_done;
};

} // namespace Lumen
