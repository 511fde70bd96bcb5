// The cache steps of an attempt: the target cache first, then the original cache, which
// holds the unprocessed image that the options' processor can be run on again.
#include "Lumen/retrieval/LumenManager.h"

#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/cache/ImageCache.h"
#include "Lumen/download/ImageModifier.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/MainDispatchQueue.h"
#include "Lumen/foundation/processors/ProcessorScale.h"
#include "Lumen/retrieval/RetrievalErrors.h"
#include "Lumen/retrieval/RetrievingContext.h"
#include "Lumen/retrieval/ScaledCacheKey.h"

#include <utility>

namespace Lumen {

namespace {

// An animated image decoded with other decoding options than these is decoded again from
// its animated data; a still image is used as it is.
bool needsDecodingAgain(const Image& image, const LumenParsedOptionsInfo& options)
{
    const auto frameCount = image.imageFrameCount();
    if (!frameCount || *frameCount == 1)
        return false;
    return image.imageCreatingOptions() != options.imageCreatingOptions() && image.animatedImageData();
}

// Whether `queue` runs a block at once on this thread, so a result can be handed over
// without being wrapped in one.
bool runsAtOnce(const CallbackQueue& queue)
{
    return queue.kind() == CallbackQueue::Kind::untouch
        || (queue.kind() == CallbackQueue::Kind::mainCurrentOrAsync && MainDispatchQueue::isMainThread());
}

} // namespace

LumenManager::Attempt::Attempt(Source source, std::shared_ptr<const LumenParsedOptionsInfo> sharedOptions,
                               std::shared_ptr<RetrievingContext> context, CompletionHandler completionHandler)
    : source(std::move(source))
    , sharedOptions(std::move(sharedOptions))
    , options(*this->sharedOptions)
    , context(std::move(context))
    , completionHandler(std::move(completionHandler))
{
}

LumenManager::AttemptPtr LumenManager::makeAttempt(const Source& source,
                                                   std::shared_ptr<const LumenParsedOptionsInfo> options,
                                                   std::shared_ptr<RetrievingContext> context,
                                                   CompletionHandler completionHandler)
{
    if (!options->processor || !options->cacheSerializer)
        options = std::make_shared<const LumenParsedOptionsInfo>(options->withClearedDefaultsRestored());
    auto attempt = std::make_shared<Attempt>(source, std::move(options), std::move(context), std::move(completionHandler));
    if (processorScale(attempt->options.scaleFactor) != 1.0)
        attempt->scaledOptions = scaledCacheOptions(attempt->options);
    return attempt;
}

std::shared_ptr<DownloadTask> LumenManager::retrieveImage(const Source& source,
                                                          const std::shared_ptr<RetrievingContext>& context,
                                                          CompletionHandler completionHandler)
{
    const auto attempt = makeAttempt(source, context->sharedOptions(), context, std::move(completionHandler));
    if (attempt->options.forceRefresh) {
        const auto started = loadAndCacheImage(source, context, attempt->completionHandler);
        return started ? started->task() : nullptr;
    }
    if (retrieveImageFromCache(source, context, attempt->completionHandler))
        return nullptr;
    if (attempt->options.onlyFromCache) {
        if (attempt->completionHandler)
            attempt->completionHandler(std::unexpected(imageNotExistingError(source.cacheKey())));
        return nullptr;
    }
    return loadShared(attempt);
}

bool LumenManager::retrieveImageFromCache(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                          CompletionHandler completionHandler)
{
    return lookUpCaches(makeAttempt(source, context->sharedOptions(), context, std::move(completionHandler)));
}

bool LumenManager::serveFromMemory(const Source& source, const LumenParsedOptionsInfo& options,
                                   const CompletionHandler& completionHandler) const
{
    if (options.forceRefresh || !options.processor || !options.cacheSerializer)
        return false;
    // Without copying the options' cache: this is the path of nearly every request.
    std::shared_ptr<ImageCache> managersCache;
    const auto& target = options.targetCache ? options.targetCache : (managersCache = cache());
    const QString key = source.cacheKey();
    const ImagePtr image = processorScale(options.scaleFactor) == 1.0
        ? target->retrieveImageInMemoryCache(key, options)
        : target->retrieveImageInMemoryCache(key, scaledCacheOptions(options));
    if (!image || needsDecodingAgain(*image, options))
        return false;
    if (!completionHandler)
        return true;
    auto result = makeResult(options, source, source, image, CacheType::memory, serializedData(options, image));
    if (runsAtOnce(options.callbackQueue))
        completionHandler(std::move(result));
    else
        options.callbackQueue.execute(
            [completionHandler, result = std::move(result)]() mutable { completionHandler(std::move(result)); });
    return true;
}

bool LumenManager::lookUpCaches(const AttemptPtr& attempt)
{
    const auto& options = attempt->options;
    const auto& cacheOptions = attempt->cacheOptions();
    const QString key = attempt->source.cacheKey();
    const auto target = targetCache(options);

    // A memory hit is used as it is: memory holds processed images only.
    if (ImagePtr image = target->retrieveImageInMemoryCache(key, cacheOptions)) {
        finishCachedImage(attempt, image, CacheType::memory);
        return true;
    }
    const CacheEntryName entry = targetCacheEntry(attempt->source, options);
    const CacheType cached = options.fromMemoryCacheOrRefresh
        ? CacheType::none
        : target->imageCachedType(entry.key, entry.processorIdentifier, entry.forcedExtension);
    // Stored since the look above, by a load that may not have written its file yet.
    if (cached == CacheType::memory) {
        if (ImagePtr image = target->retrieveImageInMemoryCache(key, cacheOptions)) {
            finishCachedImage(attempt, image, CacheType::memory);
            return true;
        }
    }
    if (cached != CacheType::none) {
        readTargetDisk(attempt, target);
        return true;
    }
    return readOriginal(attempt, target);
}

void LumenManager::readTargetDisk(const AttemptPtr& attempt, const std::shared_ptr<ImageCache>& target)
{
    target->retrieveImageInDiskCache(
        attempt->source.cacheKey(), attempt->cacheOptions(), CallbackQueue::untouch(),
        [self = shared_from_this(), attempt, target](std::expected<ImagePtr, LumenError> read) {
            if (!read || !*read) {
                self->cacheEntryUnreadable(attempt);
                return;
            }
            const auto& options = attempt->options;
            const auto promoteAndFinish = [self, attempt, target](const ImagePtr& image) {
                LumenParsedOptionsInfo memoryOnly = attempt->cacheOptions();
                memoryOnly.callbackQueue = CallbackQueue::untouch();
                target->store(image, std::nullopt, attempt->source.cacheKey(), memoryOnly, false);
                self->finishCachedImage(attempt, image, CacheType::disk);
            };
            if (!options.cacheSerializer->usesOriginalData()) {
                promoteAndFinish(*read);
                return;
            }
            // The file holds the original bytes: the image read back is processed again,
            // and memory gets the processed one.
            self->processingQueue(options).execute([attempt, image = *read, promoteAndFinish] {
                const ImageProcessItem item{image};
                if (ImagePtr processed = attempt->options.processor->process(item, attempt->options))
                    promoteAndFinish(processed);
                else
                    fail(attempt, processingFailedError(attempt->options.processor, item, attempt->source.url()));
            });
        });
}

bool LumenManager::readOriginal(const AttemptPtr& attempt, const std::shared_ptr<ImageCache>& target)
{
    const auto& options = attempt->options;
    const auto originalCache = options.originalCache ? options.originalCache : target;
    if (originalCache == target && options.processor->identifier().isEmpty())
        return false;

    const LumenParsedOptionsInfo originalOptions = scaledCacheOptions(options, DefaultImageProcessor::shared());
    const QString key = attempt->source.cacheKey();
    const CacheType cached =
        originalCache->imageCachedType(key, originalOptions.processor->identifier(), options.forcedExtension);
    const bool usable = options.fromMemoryCacheOrRefresh ? cached == CacheType::memory : cached != CacheType::none;
    if (!usable)
        return false;

    originalCache->retrieveImage(key, originalOptions, CallbackQueue::untouch(),
                                 [self = shared_from_this(), attempt](std::expected<ImageCacheResult, LumenError> found) {
                                     if (!found || !found->image())
                                         self->cacheEntryUnreadable(attempt);
                                     else
                                         self->rebuildFromOriginal(attempt, found->image());
                                 });
    return true;
}

void LumenManager::rebuildFromOriginal(const AttemptPtr& attempt, const ImagePtr& original)
{
    processingQueue(attempt->options).execute([self = shared_from_this(), attempt, original] {
        const auto& options = attempt->options;
        const ImageProcessItem item{original};
        ImagePtr processed = options.processor->process(item, options);
        if (!processed) {
            fail(attempt, processingFailedError(options.processor, item, attempt->source.url()));
            return;
        }
        options.callbackQueue.execute([self, attempt, processed] {
            self->storeAndReport(attempt, processed, std::nullopt, false, serializedData(attempt->options, processed));
        });
    });
}

void LumenManager::finishCachedImage(const AttemptPtr& attempt, const ImagePtr& image, CacheType cacheType,
                                     std::optional<QByteArray> received) const
{
    if (!attempt->completionHandler)
        return;
    const auto report = [attempt, cacheType, received = std::move(received)](const ImagePtr& finished) {
        attempt->options.callbackQueue.execute([attempt, finished, cacheType, received] {
            const auto& options = attempt->options;
            RetrievedImageData data = received ? RetrievedImageData{received, nullptr, nullptr}
                                               : serializedData(options, finished);
            attempt->completionHandler(makeResult(options, attempt->source, attempt->context->originalSource(),
                                                  finished, cacheType, std::move(data)));
        });
    };
    if (!needsDecodingAgain(*image, attempt->options)) {
        report(image);
        return;
    }
    processingQueue(attempt->options).execute([attempt, image, report] {
        const ImageProcessItem item{image->animatedImageData().value_or(QByteArray())};
        if (ImagePtr decoded = attempt->options.processor->process(item, attempt->options))
            report(decoded);
        else
            fail(attempt, processingFailedError(attempt->options.processor, item, attempt->source.url()));
    });
}

void LumenManager::cacheEntryUnreadable(const AttemptPtr& attempt)
{
    // The entry vanished or no longer decodes: a miss after all.
    if (attempt->options.onlyFromCache) {
        fail(attempt, imageNotExistingError(attempt->source.cacheKey()));
        return;
    }
    if (attempt->context->isCancelled()) {
        fail(attempt, retrievalCancelledError());
        return;
    }
    const auto started = loadAndCacheImage(attempt->source, attempt->context, attempt->completionHandler);
    attempt->context->downloadTaskStarted(started ? started->task() : nullptr);
}

} // namespace Lumen
