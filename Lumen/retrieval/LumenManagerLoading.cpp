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
    return load(makeAttempt(source, context->options(), context, std::move(completionHandler)));
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
                                          self->storeLoaded(attempt, std::move(result));
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
    const CacheEntryName entry = targetCacheEntry(attempt->source, attempt->options);
    // Attempts share a load only when it stores and reports what each of them would.
    const auto& options = attempt->options;
    const QString key = QString::number(reinterpret_cast<quintptr>(target.get()), 16) + u'\n' + entry.key + u'\n'
        + entry.processorIdentifier + u'\n' + entry.forcedExtension.value_or(QString()) + u'\n'
        + QString::number(options.waitForCache) + QString::number(options.cacheMemoryOnly)
        + QString::number(options.cacheOriginalImage)
        + QString::number(reinterpret_cast<quintptr>(options.originalCache.get()), 16);
    const auto joined = m_sharedLoads.join(
        key,
        [self = shared_from_this(), attempt](const SharedLoads::Outcome& outcome) {
            self->sharedLoadEnded(attempt, outcome);
        },
        options.onDataReceived.value_or(SharedLoads::SideEffects()),
        [&] { return target->retrieveImageInMemoryCache(entry.key, cacheOptions) != nullptr; });
    if (joined.entry == SharedLoads::Entry::joined)
        return nullptr;
    if (joined.entry == SharedLoads::Entry::cached && lookUpCaches(attempt))
        return nullptr;

    auto leading = std::make_shared<Attempt>(*attempt);
    if (joined.entry == SharedLoads::Entry::led) {
        appendSideEffect(leading->options, joined.joinersSideEffect);
        leading->sharedLoadKey = key;
        // A stored image ends the load where it is reported (`storeAndReport`); a failure
        // here, before the handler, so a retry it starts at once loads anew.
        leading->completionHandler = [self = shared_from_this(), key,
                                      handler = attempt->completionHandler](RetrieveResult result) {
            if (!result)
                self->m_sharedLoads.finish(key, std::unexpected(result.error()));
            if (handler)
                handler(std::move(result));
        };
    }
    const auto started = load(leading);
    return started ? started->task() : nullptr;
}

void LumenManager::sharedLoadEnded(const AttemptPtr& attempt, const SharedLoads::Outcome& outcome)
{
    if (attempt->context->isCancelled()) {
        fail(attempt, retrievalCancelledError());
        return;
    }
    if (outcome) {
        finishCachedImage(attempt, outcome->image, CacheType::none, outcome->originalData);
        return;
    }
    // The leader's cancel is not this attempt's: it tries again on its own.
    if (outcome.error().isTaskCancelled()) {
        attempt->context->downloadTaskStarted(retrieveImage(attempt->source, attempt->context, attempt->completionHandler));
        return;
    }
    fail(attempt, outcome.error());
}

void LumenManager::loadFromProvider(const AttemptPtr& attempt, const std::shared_ptr<const ImageDataProvider>& provider)
{
    provider->firstAnswer([self = shared_from_this(), attempt, provider](ImageDataProvider::Result provided) {
        const auto& options = attempt->options;
        if (!provided) {
            LumenError error = LumenError::ImageSettingErrorReason::DataProviderError{provider, provided.error()};
            options.callbackQueue.execute([self, attempt, error = std::move(error)] {
                self->storeLoaded(attempt, std::unexpected(error));
            });
            return;
        }
        self->processingQueue(options).execute([self, attempt, bytes = std::move(*provided)] {
            const auto& options = attempt->options;
            const ImageProcessItem item{bytes};
            ImagePtr image = options.processor->process(item, options);
            options.callbackQueue.execute([self, attempt, item, image, bytes] {
                if (image)
                    self->storeLoaded(attempt, ImageLoadingResult{image, std::nullopt, bytes});
                else
                    self->storeLoaded(attempt, std::unexpected(processingFailedError(attempt->options.processor, item,
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
    storeLoaded(makeAttempt(source, options, context, std::move(completionHandler)), std::move(result));
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
    if (attempt->sharedLoadKey) {
        // Memory holds the image by now: a later attempt finds it there.
        report = [report, self = shared_from_this(), key = *attempt->sharedLoadKey,
                  loaded = ImageLoadingResult{image, std::nullopt, original.value_or(QByteArray())}] {
            if (report)
                report();
            self->m_sharedLoads.finish(key, loaded);
        };
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
