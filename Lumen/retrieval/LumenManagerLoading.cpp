// The loading and storing steps of an attempt: a download or a data provider's bytes,
// processed, stored in the target cache (and the original bytes in the original cache),
// and reported when the coordinator says so.
#include "Lumen/retrieval/LumenManager.h"

#include "Lumen/cache/ImageCache.h"
#include "Lumen/download/ImageDownloader.h"
#include "Lumen/download/ImageModifier.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/retrieval/CacheCallbackCoordinator.h"
#include "Lumen/retrieval/ImageDataProvider.h"
#include "Lumen/retrieval/RetrievalErrors.h"
#include "Lumen/retrieval/RetrievingContext.h"
#include "Lumen/retrieval/ScaledCacheKey.h"

#include <utility>
#include <variant>

namespace Lumen {

namespace {

using Coordinator = CacheCallbackCoordinator;

LumenError emptySourceError()
{
    return LumenError::ImageSettingErrorReason::EmptySource{};
}

} // namespace

std::shared_ptr<ImageCache> LumenManager::targetCache(const LumenParsedOptionsInfo& options) const
{
    return options.targetCache ? options.targetCache : cache();
}

CallbackQueue LumenManager::processingQueue(const LumenParsedOptionsInfo& options) const
{
    return options.processingQueue.value_or(m_processingQueue);
}

void LumenManager::fail(const AttemptPtr& attempt, LumenError error)
{
    if (!attempt->completionHandler)
        return;
    attempt->options.callbackQueue.execute(
        [attempt, error = std::move(error)] { attempt->completionHandler(std::unexpected(error)); });
}

RetrieveImageResult LumenManager::makeResult(const LumenParsedOptionsInfo& options, const Source& source,
                                             const Source& originalSource, const ImagePtr& image, CacheType cacheType,
                                             RetrievedImageData data)
{
    const auto& modifier = options.imageModifier;
    return RetrieveImageResult{modifier ? modifier->modify(image) : image, cacheType, source, originalSource,
                               std::move(data)};
}

RetrievedImageData LumenManager::serializedData(const LumenParsedOptionsInfo& options, const ImagePtr& image)
{
    return RetrievedImageData{std::nullopt, image, options.cacheSerializer};
}

std::optional<DownloadTask::WrappedTask> LumenManager::loadAndCacheImage(
    const Source& source, const std::shared_ptr<RetrievingContext>& context, CompletionHandler completionHandler)
{
    return load(makeAttempt(source, context->sharedOptions(), context, std::move(completionHandler)));
}

std::optional<DownloadTask::WrappedTask> LumenManager::load(const AttemptPtr& attempt)
{
    const Source& source = attempt->source;
    if (std::holds_alternative<std::shared_ptr<const ImageDataProvider>>(source.value())) {
        const auto provider = source.dataProvider();
        if (!provider) {
            fail(attempt, emptySourceError());
            return std::nullopt;
        }
        loadFromProvider(attempt, provider);
        return DownloadTask::WrappedTask::dataProviding();
    }
    const auto resource = source.networkResource();
    if (!resource) {
        fail(attempt, emptySourceError());
        return std::nullopt;
    }

    const auto& options = attempt->options;
    const auto loader = options.downloader ? options.downloader : downloader();
    auto task = loader->downloadImage(resource->downloadURL(), options,
                                      [self = shared_from_this(), attempt](ImageDownloader::CompletionResult result) {
                                          self->cacheLoaded(attempt, std::move(result));
                                      });
    // Without a request modifier the downloader links the task, or has failed, before it
    // answers; with one the task may be linked later and must reach the caller now.
    if (!task->isInitialized() && !options.requestModifier)
        return std::nullopt;
    return DownloadTask::WrappedTask::download(std::move(task));
}

std::shared_ptr<DownloadTask> LumenManager::loadShared(const AttemptPtr& attempt)
{
    const auto target = targetCache(attempt->options);
    const auto& cacheOptions = attempt->cacheOptions();
    const auto& options = attempt->options;
    CacheEntryName entry = targetCacheEntry(attempt->source, options);
    // Attempts share a load only when it stores and reports what each of them would, and
    // fetches what and as each of them would: the same URL or provider key, through the same
    // downloader, modifier and redirect handler.
    const auto resource = attempt->source.networkResource();
    const SharedLoads::Key key{
        .targetCache = target.get(),
        .entryKey = entry.key,
        .processorIdentifier = std::move(entry.processorIdentifier),
        .forcedExtension = std::move(entry.forcedExtension),
        .waitForCache = options.waitForCache,
        .cacheMemoryOnly = options.cacheMemoryOnly,
        .cacheOriginalImage = options.cacheOriginalImage,
        .originalCache = options.originalCache.get(),
        .downloadURL = resource ? std::optional(resource->downloadURL()) : std::nullopt,
        .downloader = options.downloader ? options.downloader.get() : downloader().get(),
        .requestModifier = options.requestModifier.get(),
        .redirectHandler = options.redirectHandler.get(),
    };
    SharedLoads::Caller caller{[self = shared_from_this(), attempt](const SharedLoads::Outcome& outcome) {
                                   self->sharedLoadEnded(attempt, outcome);
                               },
                               options.onDataReceived.value_or(SharedLoads::SideEffects())};
    const auto joined = m_sharedLoads.join(key, std::move(caller), [&] {
        return target->retrieveImageInMemoryCache(key.entryKey, cacheOptions) != nullptr;
    });
    const bool downloads = resource != nullptr;
    switch (joined.entry) {
    case SharedLoads::Entry::joined:
        return downloads ? joined.task : nullptr;
    case SharedLoads::Entry::led:
        return startSharedLoad(attempt, joined.load) ? joined.task : nullptr;
    case SharedLoads::Entry::cached:
        break;
    }
    // The image reached memory since the attempt looked: the cache is asked again, as the
    // manager asks it.
    if (retrieveImageFromCache(attempt->source, attempt->context, attempt->completionHandler))
        return nullptr;
    // Gone from memory as soon as it got there, or not trusted: loaded again, alone.
    const auto started = loadAndCacheImage(attempt->source, attempt->context, attempt->completionHandler);
    return started ? started->task() : nullptr;
}

bool LumenManager::startSharedLoad(const AttemptPtr& attempt, const std::shared_ptr<SharedLoads::Load>& load)
{
    // The load stores the image as it came and hands it to each caller, which applies its own
    // modifier on its own queue; only the load's transfer reports progress, to every caller.
    LumenParsedOptionsInfo options = attempt->options;
    options.callbackQueue = CallbackQueue::untouch();
    options.imageModifier = nullptr;
    options.onDataReceived = SharedLoads::SideEffects{load};
    const auto context = std::make_shared<RetrievingContext>(std::move(options), attempt->source);
    const auto started = loadAndCacheImage(attempt->source, context, [load](RetrieveResult result) {
        if (!result) {
            load->finish(std::unexpected(std::move(result).error()));
            return;
        }
        load->finish(ImageLoadingResult{result->image, result->source.url(), result->data.received.value_or(QByteArray())});
    });
    if (!started || !started->task())
        return false;
    load->setTransfer(started->task());
    return true;
}

void LumenManager::sharedLoadEnded(const AttemptPtr& attempt, const SharedLoads::Outcome& outcome)
{
    if (!outcome) {
        fail(attempt, outcome.error());
        return;
    }
    if (attempt->context->isCancelled()) {
        fail(attempt, retrievalCancelledError());
        return;
    }
    finishCachedImage(attempt, outcome->image, CacheType::none, outcome->originalData);
}

void LumenManager::loadFromProvider(const AttemptPtr& attempt, const std::shared_ptr<const ImageDataProvider>& provider)
{
    provider->firstAnswer([self = shared_from_this(), attempt, provider](ImageDataProvider::Result provided) {
        const auto& options = attempt->options;
        if (!provided) {
            LumenError error = LumenError::ImageSettingErrorReason::DataProviderError{provider, provided.error()};
            options.callbackQueue.execute([self, attempt, error = std::move(error)] {
                self->cacheLoaded(attempt, std::unexpected(error));
            });
            return;
        }
        self->processingQueue(options).execute([self, attempt, bytes = std::move(*provided)] {
            const auto& options = attempt->options;
            const ImageProcessItem item{bytes};
            ImagePtr image = options.processor->process(item, options);
            options.callbackQueue.execute([self, attempt, item, image, bytes] {
                if (image)
                    self->cacheLoaded(attempt, ImageLoadingResult{image, std::nullopt, bytes});
                else
                    self->cacheLoaded(attempt, std::unexpected(processingFailedError(attempt->options.processor, item,
                                                                                     attempt->source.url())));
            });
        });
    });
}

void LumenManager::cacheImage(const Source& source, const LumenParsedOptionsInfo& options,
                              const std::shared_ptr<RetrievingContext>& context,
                              std::expected<ImageLoadingResult, LumenError> result,
                              CompletionHandler completionHandler)
{
    storeLoaded(makeAttempt(source, std::make_shared<const LumenParsedOptionsInfo>(options), context,
                            std::move(completionHandler)),
                std::move(result));
}

void LumenManager::cacheLoaded(const AttemptPtr& attempt, std::expected<ImageLoadingResult, LumenError> result)
{
    cacheImage(attempt->source, attempt->options, attempt->context, std::move(result), attempt->completionHandler);
}

void LumenManager::storeLoaded(const AttemptPtr& attempt, std::expected<ImageLoadingResult, LumenError> result)
{
    if (!result) {
        if (attempt->completionHandler)
            attempt->completionHandler(std::unexpected(std::move(result).error()));
        return;
    }
    const auto& options = attempt->options;
    // The default processor's image is the original already.
    const bool shouldCacheOriginal = options.cacheOriginalImage && !options.processor->identifier().isEmpty();
    const QByteArray original = result->originalData;
    storeAndReport(attempt, result->image, original, shouldCacheOriginal, RetrievedImageData{original, nullptr, nullptr});
}

void LumenManager::storeAndReport(const AttemptPtr& attempt, const ImagePtr& image, std::optional<QByteArray> original,
                                  bool shouldCacheOriginal, RetrievedImageData data)
{
    const auto& options = attempt->options;
    const QString key = attempt->source.cacheKey();
    const auto target = targetCache(options);
    shouldCacheOriginal = shouldCacheOriginal && original;
    const auto coordinator = std::make_shared<Coordinator>(options.waitForCache, shouldCacheOriginal);
    std::function<void()> report;
    if (attempt->completionHandler) {
        report = [handler = attempt->completionHandler,
                  result = makeResult(options, attempt->source, attempt->context->originalSource(), image,
                                      CacheType::none, std::move(data))] { handler(result); };
    }

    // A failed store is not reported: the image is handed back all the same.
    target->store(image, original, key, attempt->cacheOptions(), !options.cacheMemoryOnly,
                  [coordinator, report](const CacheStoreResult&) {
                      coordinator->apply(Coordinator::Action::imageStored, report);
                  });
    if (shouldCacheOriginal) {
        const auto originalCache = options.originalCache ? options.originalCache : target;
        originalCache->storeToDisk(*original, key, scaledCacheIdentifier(QString(), options.scaleFactor),
                                   options.forcedExtension, options.diskCacheExpiration, options.callbackQueue,
                                   [coordinator, report](const CacheStoreResult&) {
                                       coordinator->apply(Coordinator::Action::originalImageStored, report);
                                   });
    }
    coordinator->apply(Coordinator::Action::storesStarted, report);
}

} // namespace Lumen
