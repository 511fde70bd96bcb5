#include "Lumen/retrieval/ImagePrefetcher.h"

#include "Lumen/cache/CacheType.h"
#include "Lumen/cache/ImageCache.h"
#include "Lumen/download/DownloadTask.h"
#include "Lumen/download/ImageDownloader.h"
#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/QueueLabels.h"
#include "Lumen/retrieval/LumenManager.h"
#include "Lumen/retrieval/Resource.h"
#include "Lumen/retrieval/RetrievingContext.h"
#include "Lumen/retrieval/ScaledCacheKey.h"

#include <algorithm>
#include <utility>

namespace Lumen {

namespace {

// Shared by every prefetcher, so their requests are issued one at a time.
DispatchQueue& requestingQueue()
{
    static const auto queue =
        DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.ImagePrefetcher.requestingQueue"));
    return *queue;
}

ImagePrefetcher::Resources resourcesOf(const ImagePrefetcher::Sources& sources)
{
    ImagePrefetcher::Resources resources;
    for (const auto& source : sources) {
        if (auto resource = source.networkResource())
            resources.push_back(std::move(resource));
    }
    return resources;
}

LumenParsedOptionsInfo prefetchOptions(const std::optional<LumenOptionsInfo>& items, DispatchQueue& prefetchQueue)
{
    LumenParsedOptionsInfo options = LumenParsedOptionsInfo(items).withClearedDefaultsRestored();
    options.callbackQueue = CallbackQueue::dispatch(prefetchQueue);
    return options;
}

} // namespace

std::shared_ptr<ImagePrefetcher> ImagePrefetcher::make(const std::vector<QUrl>& urls,
                                                       const std::optional<LumenOptionsInfo>& options,
                                                       ProgressBlock progressBlock, CompletionHandler completionHandler)
{
    Resources resources;
    resources.reserve(urls.size());
    for (const auto& url : urls)
        resources.push_back(std::make_shared<URLResource>(url));
    return make(resources, options, std::move(progressBlock), std::move(completionHandler));
}

std::shared_ptr<ImagePrefetcher> ImagePrefetcher::make(const Resources& resources,
                                                       const std::optional<LumenOptionsInfo>& options,
                                                       ProgressBlock progressBlock, CompletionHandler completionHandler)
{
    Sources sources;
    sources.reserve(resources.size());
    for (const auto& resource : resources)
        sources.push_back(resource->convertToSource());
    return std::make_shared<ImagePrefetcher>(Passkey{}, std::move(sources), options, std::move(progressBlock),
                                             std::move(completionHandler), SourceProgressBlock{},
                                             SourceCompletionHandler{});
}

std::shared_ptr<ImagePrefetcher> ImagePrefetcher::make(Sources sources, const std::optional<LumenOptionsInfo>& options,
                                                       SourceProgressBlock progressSourceBlock,
                                                       SourceCompletionHandler completionSourceHandler)
{
    return std::make_shared<ImagePrefetcher>(Passkey{}, std::move(sources), options, ProgressBlock{},
                                             CompletionHandler{}, std::move(progressSourceBlock),
                                             std::move(completionSourceHandler));
}

ImagePrefetcher::ImagePrefetcher(Passkey, Sources sources, const std::optional<LumenOptionsInfo>& options,
                                 ProgressBlock progressBlock, CompletionHandler completionHandler,
                                 SourceProgressBlock progressSourceBlock,
                                 SourceCompletionHandler completionSourceHandler)
    : m_prefetchSources(std::move(sources)),
      m_prefetchQueue(DispatchQueue::makeSerial(QString::fromLatin1(QueueLabel::prefetcherPrefetch))),
      m_optionsInfo(prefetchOptions(options, *m_prefetchQueue)),
      m_manager(LumenManager::make(m_optionsInfo.downloader ? m_optionsInfo.downloader
                                                            : ImageDownloader::defaultDownloader(),
                                   m_optionsInfo.targetCache ? m_optionsInfo.targetCache : ImageCache::defaultCache())),
      m_progressBlock(std::move(progressBlock)),
      m_completionHandler(std::move(completionHandler)),
      m_progressSourceBlock(std::move(progressSourceBlock)),
      m_completionSourceHandler(std::move(completionSourceHandler))
{
}

void ImagePrefetcher::start()
{
    m_prefetchQueue->async([self = shared_from_this()] { self->startOnQueue(); });
}

void ImagePrefetcher::stop()
{
    m_prefetchQueue->async([self = shared_from_this()] { self->stopOnQueue(); });
}

bool ImagePrefetcher::isFinished() const
{
    // Serial queues always run a `sync` block.
    return m_prefetchQueue->sync([this] { return isFinishedOnQueue(); }).value_or(false);
}

QString ImagePrefetcher::description() const
{
    return QStringLiteral("0x") + QString::number(reinterpret_cast<quintptr>(this), 16);
}

void ImagePrefetcher::startOnQueue()
{
    const int limit = m_maxConcurrentDownloads;
    if (m_stopped || limit < 1 || m_prefetchSources.empty()) {
        notifyCompletion();
        return;
    }
    for (int started = 0; started < limit && hasPending(); ++started)
        prefetch(takePending());
}

void ImagePrefetcher::stopOnQueue()
{
    if (isFinishedOnQueue())
        return;
    m_stopped = true;
    // A cancelled load may end while we cancel the next: cancel from a copy.
    std::vector<DownloadTask::WrappedTask> running;
    for (const auto& [token, task] : m_tasks) {
        if (task)
            running.push_back(*task);
    }
    for (const auto& task : running)
        task.cancel();
    // With nothing under way, no ending will report: `start()` does, as it does once stopped.
}

bool ImagePrefetcher::isFinishedOnQueue() const
{
    return isAccountedFor() && m_tasks.empty();
}

bool ImagePrefetcher::isAccountedFor() const
{
    const std::size_t ended = m_lists.skipped.size() + m_lists.failed.size() + m_lists.completed.size();
    return ended == m_prefetchSources.size();
}

Source ImagePrefetcher::takePending()
{
    ++m_underWay;
    return m_prefetchSources[m_nextPending++];
}

void ImagePrefetcher::prefetch(const Source& source)
{
    if (m_optionsInfo.forceRefresh) {
        fetch(source);
        return;
    }
    const auto cache = m_manager->cache();
    const CacheEntryName entry = targetCacheEntry(source, m_optionsInfo);
    switch (cache->imageCachedType(entry.key, entry.processorIdentifier, entry.forcedExtension)) {
    case CacheType::none:
        fetch(source);
        return;
    case CacheType::disk:
        if (m_optionsInfo.alsoPrefetchToMemory) {
            // Read only: an entry that cannot be read is loaded here, through this prefetcher's
            // own tasks, so `stop()` reaches it and it counts as loaded.
            LumenParsedOptionsInfo readOptions = m_optionsInfo;
            readOptions.onlyFromCache = true;
            const auto context = std::make_shared<RetrievingContext>(std::move(readOptions), source);
            const bool reading = m_manager->retrieveImageFromCache(
                source, context, [self = shared_from_this(), source](const LumenManager::RetrieveResult& read) {
                    if (read)
                        self->sourceEnded(self->m_lists.skipped, source);
                    else if (!self->failIfStopped(source))
                        self->fetch(source);
                });
            // The file may have expired since the check; then it is loaded like any other.
            if (!reading)
                fetch(source);
            return;
        }
        break;
    case CacheType::memory:
        break;
    }
    sourceEnded(m_lists.skipped, source);
}

void ImagePrefetcher::prefetchUnlessStopped(const Source& source)
{
    if (!failIfStopped(source))
        prefetch(source);
}

bool ImagePrefetcher::failIfStopped(const Source& source)
{
    if (!m_stopped)
        return false;
    --m_underWay;
    m_lists.failed.push_back(source);
    finishOrStartNext();
    return true;
}

void ImagePrefetcher::fetch(const Source& source)
{
    const std::uint64_t token = ++m_lastToken;
    // Entered before the request: a load that fails at once may end before the task is known.
    m_tasks.emplace(token, std::nullopt);
    const auto context = std::make_shared<RetrievingContext>(m_optionsInfo, source);
    auto completion = [self = shared_from_this(), token, source](const LumenManager::RetrieveResult& result) {
        self->loadEnded(token, source, result.has_value());
    };
    auto task = requestingQueue().sync([&] {
        return m_manager->loadAndCacheImage(source, context, std::move(completion));
    });
    if (const auto running = m_tasks.find(token); running != m_tasks.end())
        running->second = std::move(task).value_or(std::nullopt);
}

void ImagePrefetcher::loadEnded(std::uint64_t token, const Source& source, bool succeeded)
{
    m_tasks.erase(token);
    sourceEnded(succeeded ? m_lists.completed : m_lists.failed, source);
}

void ImagePrefetcher::sourceEnded(Sources& list, const Source& source)
{
    --m_underWay;
    list.push_back(source);
    notifyProgress();
    finishOrStartNext();
}

void ImagePrefetcher::finishOrStartNext()
{
    if (m_stopped) {
        // The last source under way fails the ones never started, and completion is reported
        // once, after every started load has ended.
        if (m_underWay == 0) {
            while (hasPending())
                m_lists.failed.push_back(m_prefetchSources[m_nextPending++]);
            notifyCompletion();
        }
        return;
    }
    if (hasPending()) {
        // Queued rather than run here, so a long run of cached sources does not recurse.
        m_prefetchQueue->async([self = shared_from_this(), next = takePending()] { self->prefetchUnlessStopped(next); });
        return;
    }
    if (isAccountedFor())
        notifyCompletion();
}

void ImagePrefetcher::notifyProgress()
{
    {
        std::lock_guard lock(m_handlerMutex);
        if (!m_progressBlock && !m_progressSourceBlock)
            return;
    }
    CallbackQueue::currentOrAsyncOnMain(
        [self = shared_from_this(), lists = m_lists] {
            self->reportProgress(lists);
        });
}

void ImagePrefetcher::notifyCompletion()
{
    {
        std::lock_guard lock(m_handlerMutex);
        if (!m_completionHandler && !m_completionSourceHandler)
            return;
    }
    CallbackQueue::currentOrAsyncOnMain(
        [self = shared_from_this(), lists = m_lists] {
            self->reportCompletion(lists);
        });
}

void ImagePrefetcher::reportProgress(const Lists& lists)
{
    SourceProgressBlock sourceBlock;
    ProgressBlock block;
    {
        std::lock_guard lock(m_handlerMutex);
        sourceBlock = m_progressSourceBlock;
        block = m_progressBlock;
    }
    if (sourceBlock)
        sourceBlock(lists.skipped, lists.failed, lists.completed);
    if (block)
        block(resourcesOf(lists.skipped), resourcesOf(lists.failed), resourcesOf(lists.completed));
}

void ImagePrefetcher::reportCompletion(const Lists& lists)
{
    SourceCompletionHandler sourceHandler;
    CompletionHandler handler;
    // Goes after the guard.
    ProgressBlock dropped;
    {
        std::lock_guard lock(m_handlerMutex);
        sourceHandler = m_completionSourceHandler;
        // The resource forms report one run only.
        handler = std::exchange(m_completionHandler, {});
        dropped = std::exchange(m_progressBlock, {});
    }
    if (sourceHandler)
        sourceHandler(lists.skipped, lists.failed, lists.completed);
    if (handler)
        handler(resourcesOf(lists.skipped), resourcesOf(lists.failed), resourcesOf(lists.completed));
}

} // namespace Lumen
