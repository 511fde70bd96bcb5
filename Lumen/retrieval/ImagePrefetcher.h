#pragma once

#include "Lumen/download/DownloadTask.h"
#include "Lumen/foundation/LibraryDefaults.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/retrieval/Source.h"

#include <QString>
#include <QUrl>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Lumen {

class DispatchQueue;
class LumenManager;
class Resource;

// Warms the caches for images needed soon: every source not cached yet is loaded, processed
// and stored through a manager of the prefetcher's own, with at most `maxConcurrentDownloads`
// sources under way per `start()`. Each source ends as skipped (already cached), completed or
// failed; progress and completion reach the GUI thread. `stop()` cancels running downloads,
// starts nothing more and fails the sources never started.
//
// The bookkeeping lives on a serial queue of the prefetcher's own; the GUI thread gets copies
// of the lists. Load requests of all prefetchers are issued one at a time on a shared queue.
class ImagePrefetcher : public std::enable_shared_from_this<ImagePrefetcher> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using Resources = std::vector<std::shared_ptr<const Resource>>;
    using Sources = std::vector<Source>;
    // Arguments: skipped, failed, completed. The resource forms leave provider sources out.
    using ProgressBlock = std::function<void(const Resources&, const Resources&, const Resources&)>;
    using CompletionHandler = ProgressBlock;
    using SourceProgressBlock = std::function<void(const Sources&, const Sources&, const Sources&)>;
    using SourceCompletionHandler = SourceProgressBlock;

    // Each URL is taken as a resource.
    static std::shared_ptr<ImagePrefetcher> make(const std::vector<QUrl>& urls,
                                                 const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                                 ProgressBlock progressBlock = {},
                                                 CompletionHandler completionHandler = {});
    // A file URL is read by a local-file provider; anything else is downloaded.
    static std::shared_ptr<ImagePrefetcher> make(const Resources& resources,
                                                 const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                                 ProgressBlock progressBlock = {},
                                                 CompletionHandler completionHandler = {});
    static std::shared_ptr<ImagePrefetcher> make(Sources sources,
                                                 const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                                 SourceProgressBlock progressSourceBlock = {},
                                                 SourceCompletionHandler completionSourceHandler = {});

    ImagePrefetcher(Passkey, Sources sources, const std::optional<LumenOptionsInfo>& options,
                    ProgressBlock progressBlock, CompletionHandler completionHandler,
                    SourceProgressBlock progressSourceBlock, SourceCompletionHandler completionSourceHandler);
    ImagePrefetcher(const ImagePrefetcher&) = delete;
    ImagePrefetcher& operator=(const ImagePrefetcher&) = delete;

    // Read by `start()` only; a change after it has no effect on the sources it started.
    int maxConcurrentDownloads() const { return m_maxConcurrentDownloads; }
    void setMaxConcurrentDownloads(int count) { m_maxConcurrentDownloads = count; }

    const Sources& prefetchSources() const { return m_prefetchSources; }
    // The options of every load; completions arrive on the prefetcher's queue.
    const LumenParsedOptionsInfo& optionsInfo() const { return m_optionsInfo; }
    // Over the options' downloader and target cache (else the defaults); not the shared manager.
    const std::shared_ptr<LumenManager>& manager() const { return m_manager; }

    // Both queue their work and return. Without any source, with a limit below 1, or once
    // stopped, `start()` reports completion at once (the resource-form completion only the
    // first time: it is cleared after it runs).
    void start();
    void stop();
    // Every source is accounted for and no load runs. Waits for the prefetcher's queue.
    bool isFinished() const;

    // The object's address, "0x..." in hexadecimal.
    QString description() const;

private:
    struct Lists {
        Sources skipped;
        Sources failed;
        Sources completed;
    };

    // All of these run on the prefetcher's queue.
    void startOnQueue();
    void stopOnQueue();
    bool isFinishedOnQueue() const;
    // Every source has ended as skipped, failed or completed.
    bool isAccountedFor() const;
    bool hasPending() const { return m_nextPending < m_prefetchSources.size(); }
    // Takes the front pending source; it counts as under way until it ends.
    Source takePending();
    void prefetch(const Source& source);
    void prefetchUnlessStopped(const Source& source);
    // Once stopped, a source about to be loaded fails instead; answers whether it did.
    bool failIfStopped(const Source& source);
    void fetch(const Source& source);
    void loadEnded(std::uint64_t token, const Source& source, bool succeeded);
    void sourceEnded(Sources& list, const Source& source);
    void finishOrStartNext();
    void notifyProgress();
    void notifyCompletion();

    // On the GUI thread.
    void reportProgress(const Lists& lists);
    void reportCompletion(const Lists& lists);

    std::atomic<int> m_maxConcurrentDownloads{Defaults::prefetcherMaxConcurrentDownloads};
    const Sources m_prefetchSources;
    const std::shared_ptr<DispatchQueue> m_prefetchQueue;
    const LumenParsedOptionsInfo m_optionsInfo;
    const std::shared_ptr<LumenManager> m_manager;

    // Read on the prefetcher's queue, run and cleared on the GUI thread.
    mutable std::mutex m_handlerMutex;
    ProgressBlock m_progressBlock;
    CompletionHandler m_completionHandler;
    SourceProgressBlock m_progressSourceBlock;
    SourceCompletionHandler m_completionSourceHandler;

    // Only on the prefetcher's queue. Running loads are keyed by a token of their own, so two
    // sources with one cache key are told apart; none while the load is being requested.
    std::unordered_map<std::uint64_t, std::optional<DownloadTask::WrappedTask>> m_tasks;
    std::uint64_t m_lastToken = 0;
    std::size_t m_nextPending = 0;
    // Taken from pending and not ended yet: loads, cache reads and queued starts.
    std::size_t m_underWay = 0;
    Lists m_lists;
    bool m_stopped = false;
};

} // namespace Lumen
