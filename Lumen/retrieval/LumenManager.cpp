#include "Lumen/retrieval/LumenManager.h"

#include "Lumen/cache/ImageCache.h"
#include "Lumen/download/ImageDownloader.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/progressive/ImageProgressive.h"
#include "Lumen/foundation/progressive/ImageProgressiveProvider.h"
#include "Lumen/retrieval/ImageRetrieval.h"
#include "Lumen/retrieval/Resource.h"
#include "Lumen/retrieval/RetrievalControl.h"
#include "Lumen/retrieval/RetrievingContext.h"

#include <QUuid>

#include <typeinfo>
#include <utility>

namespace Lumen {

namespace {

CallbackQueue makeProcessingQueue()
{
    const auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.LumenManager.processQueue.")
                                                 + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    return CallbackQueue::dispatch(*queue);
}

// Shows a partial image through the setter as the options' progressive setting decides.
ImageProgressiveProvider::Refresh progressiveRefresh(std::shared_ptr<const ImageProgressive> progressive,
                                                     LumenManager::ProgressiveImageSetter setter)
{
    return [progressive = std::move(progressive), setter = std::move(setter)](const ImagePtr& image) {
        if (!setter)
            return;
        std::optional<ImageProgressive::UpdatingStrategy> strategy;
        if (progressive && progressive->onImageUpdated)
            strategy = progressive->onImageUpdated->call(image);
        if (!strategy || strategy->kind() == ImageProgressive::UpdatingStrategy::Kind::useDefault)
            setter(image);
        else if (strategy->kind() == ImageProgressive::UpdatingStrategy::Kind::replace)
            setter(strategy->image());
    };
}

} // namespace

const std::shared_ptr<LumenManager>& LumenManager::shared()
{
    static const std::shared_ptr<LumenManager> manager =
        make(ImageDownloader::defaultDownloader(), ImageCache::defaultCache());
    return manager;
}

std::shared_ptr<LumenManager> LumenManager::make(std::shared_ptr<ImageDownloader> downloader,
                                                 std::shared_ptr<ImageCache> cache)
{
    return std::make_shared<LumenManager>(Passkey{}, std::move(downloader), std::move(cache));
}

LumenManager::LumenManager(Passkey, std::shared_ptr<ImageDownloader> downloader, std::shared_ptr<ImageCache> cache)
    : m_cache(std::move(cache))
    , m_downloader(std::move(downloader))
    , m_processingQueue(makeProcessingQueue())
{
}

std::shared_ptr<ImageCache> LumenManager::cache() const
{
    std::lock_guard lock(m_propertyMutex);
    return m_cache;
}

void LumenManager::setCache(std::shared_ptr<ImageCache> cache)
{
    std::lock_guard lock(m_propertyMutex);
    std::swap(m_cache, cache);
    // The replaced cache goes after the guard, by `cache`.
}

std::shared_ptr<ImageDownloader> LumenManager::downloader() const
{
    std::lock_guard lock(m_propertyMutex);
    return m_downloader;
}

void LumenManager::setDownloader(std::shared_ptr<ImageDownloader> downloader)
{
    std::lock_guard lock(m_propertyMutex);
    std::swap(m_downloader, downloader);
    // The replaced downloader goes after the guard, by `downloader`.
}

LumenOptionsInfo LumenManager::defaultOptions() const
{
    std::lock_guard lock(m_propertyMutex);
    return m_defaultOptions;
}

void LumenManager::setDefaultOptions(LumenOptionsInfo options)
{
    std::shared_ptr<const LumenParsedOptionsInfo> parsedBefore;
    std::lock_guard lock(m_propertyMutex);
    std::swap(m_defaultOptions, options);
    // What is replaced goes after the guard, by `options` and `parsedBefore`.
    parsedBefore = std::move(m_parsedDefaultOptions);
}

std::shared_ptr<const LumenParsedOptionsInfo> LumenManager::parsedDefaultOptions() const
{
    std::lock_guard lock(m_propertyMutex);
    if (!m_parsedDefaultOptions)
        m_parsedDefaultOptions = std::make_shared<const LumenParsedOptionsInfo>(m_defaultOptions);
    return m_parsedDefaultOptions;
}

LumenOptionsInfo LumenManager::currentDefaultOptions() const
{
    std::lock_guard lock(m_propertyMutex);
    LumenOptionsInfo options{Option::Downloader{m_downloader}, Option::TargetCache{m_cache}};
    options.insert(options.end(), m_defaultOptions.begin(), m_defaultOptions.end());
    return options;
}

LumenParsedOptionsInfo LumenManager::mergedOptions(const std::optional<LumenOptionsInfo>& options) const
{
    LumenOptionsInfo items = currentDefaultOptions();
    if (options)
        items.insert(items.end(), options->begin(), options->end());
    return LumenParsedOptionsInfo(items);
}

std::shared_ptr<DownloadTask> LumenManager::retrieveImage(const Resource& resource,
                                                          const std::optional<LumenOptionsInfo>& options,
                                                          ProgressBlock progressBlock,
                                                          DownloadTaskUpdated downloadTaskUpdated,
                                                          CompletionHandler completionHandler)
{
    return retrieveImage(resource.convertToSource(), options, std::move(progressBlock),
                         std::move(downloadTaskUpdated), std::move(completionHandler));
}

std::shared_ptr<DownloadTask> LumenManager::retrieveImage(const Source& source,
                                                          const std::optional<LumenOptionsInfo>& options,
                                                          ProgressBlock progressBlock,
                                                          DownloadTaskUpdated downloadTaskUpdated,
                                                          CompletionHandler completionHandler)
{
    return retrieveImage(source, mergedOptions(options), std::move(progressBlock), std::move(downloadTaskUpdated),
                         std::move(completionHandler));
}

std::shared_ptr<DownloadTask> LumenManager::retrieveImage(const Source& source, const LumenParsedOptionsInfo& options,
                                                          ProgressBlock progressBlock,
                                                          DownloadTaskUpdated downloadTaskUpdated,
                                                          CompletionHandler completionHandler)
{
    if (!progressBlock)
        return retrieveImage(source, options, std::move(downloadTaskUpdated), {}, {}, std::move(completionHandler));
    return retrieveImage(source, withProgress(options, std::move(progressBlock)), std::move(downloadTaskUpdated), {},
                         {}, std::move(completionHandler));
}

void LumenManager::appendSideEffect(LumenParsedOptionsInfo& options, std::shared_ptr<DataReceivingSideEffect> sideEffect)
{
    if (!options.onDataReceived)
        options.onDataReceived.emplace();
    options.onDataReceived->push_back(std::move(sideEffect));
}

LumenParsedOptionsInfo LumenManager::withProgress(LumenParsedOptionsInfo options, ProgressBlock progressBlock)
{
    if (progressBlock)
        appendSideEffect(options, ImageLoadingProgressSideEffect::make(std::move(progressBlock)));
    return options;
}

std::shared_ptr<DownloadTask> LumenManager::retrieveImage(const Source& source, const LumenParsedOptionsInfo& options,
                                                          DownloadTaskUpdated downloadTaskUpdated,
                                                          ProgressiveImageSetter progressiveImageSetter,
                                                          ReferenceTaskIdentifierChecker referenceTaskIdentifierChecker,
                                                          CompletionHandler completionHandler)
{
    return startRetrieval(source, options, std::move(downloadTaskUpdated), std::move(progressiveImageSetter),
                          std::move(referenceTaskIdentifierChecker), std::move(completionHandler),
                          std::make_shared<RetrievalControl>());
}

std::shared_ptr<DownloadTask> LumenManager::retrieveImage(const Source& source, const LumenParsedOptionsInfo& options,
                                                          ProgressiveImageSetter progressiveImageSetter,
                                                          ReferenceTaskIdentifierChecker referenceTaskIdentifierChecker,
                                                          CompletionHandler completionHandler,
                                                          std::shared_ptr<RetrievalControl> control)
{
    return startRetrieval(source, options, {}, std::move(progressiveImageSetter),
                          std::move(referenceTaskIdentifierChecker), std::move(completionHandler), std::move(control));
}

std::shared_ptr<DownloadTask> LumenManager::startRetrieval(const Source& source, const LumenParsedOptionsInfo& options,
                                                           DownloadTaskUpdated downloadTaskUpdated,
                                                           ProgressiveImageSetter progressiveImageSetter,
                                                           ReferenceTaskIdentifierChecker referenceTaskIdentifierChecker,
                                                           CompletionHandler completionHandler,
                                                           std::shared_ptr<RetrievalControl> control)
{
    // Most requests are memory hits: they need none of a retrieval's state. A subclass may
    // override any step of the way, so it always goes all of it.
    if (typeid(*this) == typeid(LumenManager) && serveFromMemory(source, options, completionHandler))
        return nullptr;

    LumenParsedOptionsInfo retrievalOptions = options;
    auto retryStrategy = retrievalOptions.retryStrategy;
    if (auto progressive = ImageProgressiveProvider::make(
            retrievalOptions, progressiveRefresh(retrievalOptions.progressiveJPEG, std::move(progressiveImageSetter))))
        appendSideEffect(retrievalOptions, std::move(progressive));
    if (referenceTaskIdentifierChecker && retrievalOptions.onDataReceived) {
        for (const auto& sideEffect : *retrievalOptions.onDataReceived)
            sideEffect->setOnShouldApply(referenceTaskIdentifierChecker);
    }

    auto context = std::make_shared<RetrievingContext>(std::move(retrievalOptions), source, std::move(control),
                                                       std::move(downloadTaskUpdated));
    const auto retrieval = std::make_shared<ImageRetrieval>(shared_from_this(), std::move(context),
                                                            std::move(retryStrategy), std::move(completionHandler));
    return retrieval->start();
}

} // namespace Lumen
