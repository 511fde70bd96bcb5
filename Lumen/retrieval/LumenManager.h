#pragma once

#include "Lumen/cache/CacheType.h"
#include "Lumen/download/DownloadTask.h"
#include "Lumen/download/ImageLoadingResult.h"
#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/ImageLoadingProgressSideEffect.h"
#include "Lumen/foundation/LumenError.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/retrieval/LivePhotoLoadingInfoResult.h"
#include "Lumen/retrieval/RetrieveImageResult.h"
#include "Lumen/retrieval/SharedLoads.h"
#include "Lumen/retrieval/Source.h"

#include <QByteArray>
#include <QFuture>

#include <expected>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace Lumen {

class ImageCache;
class ImageDataProvider;
class ImageDownloader;
class LivePhotoDownloadGroup;
class Resource;
class RetrievalControl;
class RetrievingContext;

// The one entry point through which views obtain images. A retrieval looks in the cache for
// the source's key (combined with the processor's identifier), otherwise downloads the image
// or asks the source's data provider, processes and stores it, and hands back the result on
// the options' callback queue. Failed attempts go to the options' retry strategy, then to the
// low-data-mode source, then to the alternative sources in order. A cancelled download is
// never passed on to another source; only a retry strategy may start it again, unless the
// caller made the cancel: a retrieval its caller cancelled starts no further attempt.
//
// Options are merged from the manager's downloader and cache, then `defaultOptions`, then
// the caller's items; a later item overrides an earlier one. Every property may be read and
// changed from any thread.
class LumenManager : public std::enable_shared_from_this<LumenManager> {
protected:
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using RetrieveResult = std::expected<RetrieveImageResult, LumenError>;
    using CompletionHandler = std::function<void(RetrieveResult)>;
    // Hears the download task of every attempt after the first (null when that attempt
    // started no download), and of a download that replaces a cache entry that could not be
    // read.
    using DownloadTaskUpdated = std::function<void(const std::shared_ptr<DownloadTask>&)>;
    using ProgressBlock = ImageLoadingProgressSideEffect::ProgressBlock;
    // Shows a partial image of a progressive JPEG.
    using ProgressiveImageSetter = std::function<void(const ImagePtr&)>;
    // Whether the caller still wants this retrieval's data.
    using ReferenceTaskIdentifierChecker = std::function<bool()>;

    // Made on first use over the default downloader and the default cache; never released.
    static const std::shared_ptr<LumenManager>& shared();
    static std::shared_ptr<LumenManager> make(std::shared_ptr<ImageDownloader> downloader,
                                              std::shared_ptr<ImageCache> cache);

    LumenManager(Passkey, std::shared_ptr<ImageDownloader> downloader, std::shared_ptr<ImageCache> cache);
    virtual ~LumenManager() = default;
    LumenManager(const LumenManager&) = delete;
    LumenManager& operator=(const LumenManager&) = delete;

    // The target cache of retrievals that name none.
    virtual std::shared_ptr<ImageCache> cache() const;
    virtual void setCache(std::shared_ptr<ImageCache> cache);
    // The downloader of retrievals that name none.
    virtual std::shared_ptr<ImageDownloader> downloader() const;
    virtual void setDownloader(std::shared_ptr<ImageDownloader> downloader);
    // Items added to every request, before the caller's; empty at first.
    virtual LumenOptionsInfo defaultOptions() const;
    virtual void setDefaultOptions(LumenOptionsInfo options);
    // This manager's own `defaultOptions` parsed, one object shared until they next change.
    std::shared_ptr<const LumenParsedOptionsInfo> parsedDefaultOptions() const;
    // The downloader, the cache, then `defaultOptions`.
    virtual LumenOptionsInfo currentDefaultOptions() const;
    // Where cached images and provider data are processed when the options name no queue:
    // a serial queue of this manager's own.
    const CallbackQueue& processingQueue() const { return m_processingQueue; }

    // ---- retrieving -----------------------------------------------------------------------
    // Each form answers the first attempt's download task, or null when that attempt was
    // served from a cache, read a data provider, or failed at once. A task handed back
    // before its transfer is known (an asynchronous request modifier) is linked later; a
    // cancel made meanwhile is kept. The completion runs exactly once, on the options'
    // callback queue (on the calling thread, before this returns, for an `onlyFromCache`
    // miss).

    // A file URL is read by a local-file provider; any other URL is downloaded.
    virtual std::shared_ptr<DownloadTask> retrieveImage(const Resource& resource,
                                                const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                                ProgressBlock progressBlock = {},
                                                DownloadTaskUpdated downloadTaskUpdated = {},
                                                CompletionHandler completionHandler = {});
    virtual std::shared_ptr<DownloadTask> retrieveImage(const Source& source,
                                                const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                                ProgressBlock progressBlock = {},
                                                DownloadTaskUpdated downloadTaskUpdated = {},
                                                CompletionHandler completionHandler = {});
    // With options already merged: no default is added.
    virtual std::shared_ptr<DownloadTask> retrieveImage(const Source& source, const LumenParsedOptionsInfo& options,
                                                ProgressBlock progressBlock = {},
                                                DownloadTaskUpdated downloadTaskUpdated = {},
                                                CompletionHandler completionHandler = {});
    // The main form. The identifier checker, when given, gates every progress and
    // progressive side effect of the options.
    virtual std::shared_ptr<DownloadTask> retrieveImage(const Source& source, const LumenParsedOptionsInfo& options,
                                                        DownloadTaskUpdated downloadTaskUpdated,
                                                        ProgressiveImageSetter progressiveImageSetter,
                                                        ReferenceTaskIdentifierChecker referenceTaskIdentifierChecker,
                                                        CompletionHandler completionHandler);
    // The main form under the caller's `control`, which hears of every attempt's download
    // instead of a task-updated block, and through which the caller cancels the retrieval as a
    // whole or sets its priority.
    std::shared_ptr<DownloadTask> retrieveImage(const Source& source, const LumenParsedOptionsInfo& options,
                                                ProgressiveImageSetter progressiveImageSetter,
                                                ReferenceTaskIdentifierChecker referenceTaskIdentifierChecker,
                                                CompletionHandler completionHandler,
                                                std::shared_ptr<RetrievalControl> control);

    // The options with a side effect reporting progress to `progressBlock`, when one is given.
    static LumenParsedOptionsInfo withProgress(LumenParsedOptionsInfo options, ProgressBlock progressBlock);

    // ---- the same as futures ----------------------------------------------------------------
    // Each starts the retrieval from the shared concurrent queue and is fulfilled where the
    // result arrives, whatever the options' callback queue. Cancelling the future stops the
    // retrieval at any stage: the running download is cancelled and no further step starts.

    QFuture<RetrieveResult> retrieveImageAsync(const Resource& resource,
                                               const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                               ProgressBlock progressBlock = {});
    QFuture<RetrieveResult> retrieveImageAsync(const Source& source,
                                               const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                               ProgressBlock progressBlock = {});
    QFuture<RetrieveResult> retrieveImageAsync(const Source& source, LumenParsedOptionsInfo options,
                                               ProgressBlock progressBlock = {});
    QFuture<RetrieveResult> retrieveImageAsync(const Source& source, LumenParsedOptionsInfo options,
                                               ProgressiveImageSetter progressiveImageSetter,
                                               ReferenceTaskIdentifierChecker referenceTaskIdentifierChecker);

    // ---- live photos ----------------------------------------------------------------------
    // Nothing is decoded and nothing goes to memory: every file of a live photo is made to be
    // a disk-cache file, under the key of its source with the live-photo processor's
    // identifier whatever processor the options name, and the extension of its type.

    using LivePhotoResult = std::expected<LivePhotoLoadingInfoResult, LumenError>;
    using LivePhotoCompletionHandler = std::function<void(LivePhotoResult)>;
    using LivePhotoDownloadsHandler =
        std::function<void(std::expected<std::vector<LivePhotoResourceDownloadingResult>, LumenError>)>;

    // Fetches the files not on disk yet (all of them with `forceRefresh`) and answers the
    // cache file of every resource, in source order; a file still not found after the fetches
    // fails with `missingLivePhotoResourceOnDisk`. The checker, when given, gates every
    // progress side effect of the options. The completion runs exactly once, on the options'
    // callback queue. Answers the fetches, to cancel them.
    std::shared_ptr<LivePhotoDownloadGroup> retrieveLivePhoto(
        const LivePhotoSource& source, const std::optional<LumenOptionsInfo>& options = std::nullopt,
        ReferenceTaskIdentifierChecker referenceTaskIdentifierChecker = {},
        LivePhotoCompletionHandler completionHandler = {});
    // The same as a future, started from the shared concurrent queue and fulfilled where the
    // result arrives; cancelling it cancels the fetches, which end with `taskCancelled`.
    QFuture<LivePhotoResult> retrieveLivePhotoAsync(const LivePhotoSource& source,
                                                    const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                                    ReferenceTaskIdentifierChecker referenceTaskIdentifierChecker = {});
    // The resources of `source` whose file must be fetched, in source order.
    std::vector<LivePhotoResource> missingResources(const LivePhotoSource& source,
                                                    const LumenParsedOptionsInfo& options) const;
    // Fetches the files side by side, each from the downloader (a file URL from disk) or its
    // data provider, and stores each as received under its type's extension. Bytes of an
    // undetermined type that are neither a still nor a movie are not stored. The handler runs
    // once, where the last step ends.
    std::shared_ptr<LivePhotoDownloadGroup> downloadAndCache(const std::vector<LivePhotoResource>& resources,
                                                             const LumenParsedOptionsInfo& options,
                                                             LivePhotoDownloadsHandler handler) const;
    // Removes every cache file the resources of `source` may have, so a pair that cannot be
    // made into a live photo is fetched anew next time.
    void removeLivePhotoFiles(const LivePhotoSource& source, const LumenParsedOptionsInfo& options) const;

    // ---- the steps of one attempt, for the retrieval and the prefetcher -------------------------

    // Serves the source from the caches or loads it. The download task as for the forms above.
    // Attempts that miss the caches for one entry at the same time share one load, started
    // through `loadAndCacheImage`: each answers its own handle on it, whose cancel answers that
    // attempt alone, with `taskCancelled`; the load's transfer stops when no attempt waits.
    virtual std::shared_ptr<DownloadTask> retrieveImage(const Source& source,
                                                        const std::shared_ptr<RetrievingContext>& context,
                                                        CompletionHandler completionHandler);
    // Starts reading the target cache, or the original cache when only it holds the image,
    // and answers true; answers false, calling nothing, when no cache holds it. An entry that
    // cannot be read back after all is loaded instead (unless `onlyFromCache`).
    virtual bool retrieveImageFromCache(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                CompletionHandler completionHandler);
    // Downloads the image or reads the data provider, then stores and reports it. Answers
    // what it started; nothing when it failed at once, or when a download's task is not known
    // yet and no request modifier will link it.
    virtual std::optional<DownloadTask::WrappedTask> loadAndCacheImage(const Source& source,
                                                                       const std::shared_ptr<RetrievingContext>& context,
                                                                       CompletionHandler completionHandler);
    // Stores a loaded image (and, with `cacheOriginalImage` and a processor of its own, the
    // original bytes) and reports it; a failure is reported at once.
    virtual void cacheImage(const Source& source, const LumenParsedOptionsInfo& options,
                    const std::shared_ptr<RetrievingContext>& context,
                    std::expected<ImageLoadingResult, LumenError> result, CompletionHandler completionHandler);

private:
    // What every step of one attempt uses, read once at its start.
    struct Attempt {
        Attempt(Source source, std::shared_ptr<const LumenParsedOptionsInfo> sharedOptions,
                std::shared_ptr<RetrievingContext> context, CompletionHandler completionHandler);

        Source source;
        // Shared with the retrieval's context, which replaces its own when they change.
        const std::shared_ptr<const LumenParsedOptionsInfo> sharedOptions;
        const LumenParsedOptionsInfo& options;
        std::shared_ptr<RetrievingContext> context;
        CompletionHandler completionHandler;
        // The options under the cache key for the options' scale, when it is not 1.
        std::optional<LumenParsedOptionsInfo> scaledOptions;

        // What the target cache is given.
        const LumenParsedOptionsInfo& cacheOptions() const { return scaledOptions ? *scaledOptions : options; }
    };
    using AttemptPtr = std::shared_ptr<const Attempt>;

    // The options are shared as they are unless a cleared processor or serializer must be
    // restored first.
    static AttemptPtr makeAttempt(const Source& source, std::shared_ptr<const LumenParsedOptionsInfo> options,
                                  std::shared_ptr<RetrievingContext> context, CompletionHandler completionHandler);

    // The main form under `control`.
    std::shared_ptr<DownloadTask> startRetrieval(const Source& source, const LumenParsedOptionsInfo& options,
                                                 DownloadTaskUpdated downloadTaskUpdated,
                                                 ProgressiveImageSetter progressiveImageSetter,
                                                 ReferenceTaskIdentifierChecker referenceTaskIdentifierChecker,
                                                 CompletionHandler completionHandler,
                                                 std::shared_ptr<RetrievalControl> control);
    LumenParsedOptionsInfo mergedOptions(const std::optional<LumenOptionsInfo>& options) const;
    static void appendSideEffect(LumenParsedOptionsInfo& options, std::shared_ptr<DataReceivingSideEffect> sideEffect);

    std::shared_ptr<ImageCache> targetCache(const LumenParsedOptionsInfo& options) const;
    // A live-photo file and the key it is stored and looked up under, read once: a provider may
    // make a new key on each read.
    struct KeyedLivePhotoResource {
        LivePhotoResource resource;
        QString key;
    };
    static std::vector<KeyedLivePhotoResource> keyed(const std::vector<LivePhotoResource>& resources);
    std::vector<KeyedLivePhotoResource> missing(const std::vector<KeyedLivePhotoResource>& resources,
                                                const LumenParsedOptionsInfo& options) const;
    std::shared_ptr<LivePhotoDownloadGroup> downloadAndCache(const std::vector<KeyedLivePhotoResource>& resources,
                                                             const LumenParsedOptionsInfo& options,
                                                             LivePhotoDownloadsHandler handler) const;
    // The cache file of `resource`, looked up under each extension its type may have.
    std::optional<QUrl> livePhotoFileURL(const KeyedLivePhotoResource& resource,
                                         const LumenParsedOptionsInfo& options) const;
    // Fetches one file and stores it, then tells `group`.
    void fetchLivePhotoFile(const KeyedLivePhotoResource& resource, const LumenParsedOptionsInfo& options,
                            const std::shared_ptr<LivePhotoDownloadGroup>& group) const;
    CallbackQueue processingQueue(const LumenParsedOptionsInfo& options) const;

    // Cache steps.
    // Hands back a memory hit without any retrieval state; false when there is none to use.
    bool serveFromMemory(const Source& source, const LumenParsedOptionsInfo& options,
                         const CompletionHandler& completionHandler) const;
    bool lookUpCaches(const AttemptPtr& attempt);
    void readTargetDisk(const AttemptPtr& attempt, const std::shared_ptr<ImageCache>& target);
    bool readOriginal(const AttemptPtr& attempt, const std::shared_ptr<ImageCache>& target);
    void rebuildFromOriginal(const AttemptPtr& attempt, const ImagePtr& original);
    // `received`: the bytes of a load the image came from; without them the result's data is
    // the serializer's.
    void finishCachedImage(const AttemptPtr& attempt, const ImagePtr& image, CacheType cacheType,
                           std::optional<QByteArray> received = std::nullopt) const;
    void cacheEntryUnreadable(const AttemptPtr& attempt);

    // Loading and storing steps.
    std::optional<DownloadTask::WrappedTask> load(const AttemptPtr& attempt);
    // Joins the running load of the attempt's cache entry, or starts a new one; answers the
    // attempt's own handle on it when it downloads.
    std::shared_ptr<DownloadTask> loadShared(const AttemptPtr& attempt);
    // Loads and stores for every caller of `load`; false when no download was started.
    bool startSharedLoad(const AttemptPtr& attempt, const std::shared_ptr<SharedLoads::Load>& load);
    void sharedLoadEnded(const AttemptPtr& attempt, const SharedLoads::Outcome& outcome);
    void loadFromProvider(const AttemptPtr& attempt, const std::shared_ptr<const ImageDataProvider>& provider);
    // Hands what was loaded to `cacheImage`.
    void cacheLoaded(const AttemptPtr& attempt, std::expected<ImageLoadingResult, LumenError> result);
    void storeLoaded(const AttemptPtr& attempt, std::expected<ImageLoadingResult, LumenError> result);
    void storeAndReport(const AttemptPtr& attempt, const ImagePtr& image, std::optional<QByteArray> original,
                        bool shouldCacheOriginal, RetrievedImageData data);
    // Hands `error` to the attempt's completion on the options' callback queue.
    static void fail(const AttemptPtr& attempt, LumenError error);
    // The result for `image`, after the options' image modifier.
    static RetrieveImageResult makeResult(const LumenParsedOptionsInfo& options, const Source& source,
                                          const Source& originalSource, const ImagePtr& image, CacheType cacheType,
                                          RetrievedImageData data);
    // The options' serializer's bytes for `image`.
    static RetrievedImageData serializedData(const LumenParsedOptionsInfo& options, const ImagePtr& image);

    mutable std::mutex m_propertyMutex;
    std::shared_ptr<ImageCache> m_cache;
    std::shared_ptr<ImageDownloader> m_downloader;
    LumenOptionsInfo m_defaultOptions;
    // Made on first use after each change of the defaults.
    mutable std::shared_ptr<const LumenParsedOptionsInfo> m_parsedDefaultOptions;

    const CallbackQueue m_processingQueue;
    SharedLoads m_sharedLoads;
};

} // namespace Lumen
