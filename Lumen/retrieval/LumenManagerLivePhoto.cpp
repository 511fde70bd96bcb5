// The manager's live-photo retrieval: the files of a live photo brought into the disk cache.
#include "Lumen/retrieval/LumenManager.h"

#include "Lumen/cache/ImageCache.h"
#include "Lumen/download/ImageDownloader.h"
#include "Lumen/foundation/DataReceivingSideEffect.h"
#include "Lumen/foundation/processors/LivePhotoImageProcessor.h"
#include "Lumen/retrieval/LivePhotoDownloadGroup.h"
#include "Lumen/retrieval/LocalFileImageDataProvider.h"

namespace Lumen {

namespace {

using Cache = LumenError::CacheErrorReason;

// Whatever processor the caller names, the files are keyed under the live-photo processor's
// identifier, so they are found again whatever options a later request carries.
const QString& livePhotoProcessorIdentifier()
{
    static const QString identifier = LivePhotoImageProcessor().identifier();
    return identifier;
}

// The provider that gives the file's bytes: a data provider's own, or a local-file reader
// for a file URL, which the downloader could not fetch. Null for a download.
std::shared_ptr<const ImageDataProvider> bytesProvider(const LivePhotoResource& resource, const QString& key)
{
    if (auto provider = resource.dataSource.dataProvider())
        return provider;
    const auto networkResource = resource.dataSource.networkResource();
    if (networkResource && networkResource->downloadURL().isLocalFile())
        return std::make_shared<LocalFileImageDataProvider>(networkResource->downloadURL(), key);
    return nullptr;
}

} // namespace

std::shared_ptr<LivePhotoDownloadGroup> LumenManager::retrieveLivePhoto(
    const LivePhotoSource& source, const std::optional<LumenOptionsInfo>& options,
    ReferenceTaskIdentifierChecker referenceTaskIdentifierChecker, LivePhotoCompletionHandler completionHandler)
{
    LumenParsedOptionsInfo parsed = mergedOptions(options);
    if (parsed.processor->identifier() != livePhotoProcessorIdentifier())
        parsed.processor = std::make_shared<LivePhotoImageProcessor>();
    if (referenceTaskIdentifierChecker && parsed.onDataReceived) {
        for (const auto& sideEffect : *parsed.onDataReceived)
            sideEffect->setOnShouldApply(referenceTaskIdentifierChecker);
    }

    // Each file is stored and then found under the key read here.
    std::vector<KeyedLivePhotoResource> resources = keyed(source.resources);
    const std::vector<KeyedLivePhotoResource> fetched = missing(resources, parsed);
    auto finish = [self = shared_from_this(), source, resources = std::move(resources), parsed,
                   fetchedAny = !fetched.empty(), completionHandler = std::move(completionHandler)](auto downloaded) {
        LivePhotoResult result = [&]() -> LivePhotoResult {
            if (!downloaded)
                return std::unexpected(std::move(downloaded.error()));
            LivePhotoLoadingInfoResult info{.fileURLs = {},
                                            .cacheType = fetchedAny ? CacheType::none : CacheType::disk,
                                            .source = source,
                                            .originalSource = source,
                                            .downloaded = std::move(*downloaded)};
            for (const auto& resource : resources) {
                auto fileURL = self->livePhotoFileURL(resource, parsed);
                if (!fileURL)
                    return std::unexpected(LumenError(Cache::MissingLivePhotoResourceOnDisk{resource.resource}));
                info.fileURLs.push_back(std::move(*fileURL));
            }
            return info;
        }();
        if (completionHandler)
            parsed.callbackQueue.execute(
                [completionHandler, result = std::move(result)]() mutable { completionHandler(std::move(result)); });
    };
    return downloadAndCache(fetched, parsed, std::move(finish));
}

std::vector<LumenManager::KeyedLivePhotoResource> LumenManager::keyed(const std::vector<LivePhotoResource>& resources)
{
    std::vector<KeyedLivePhotoResource> keyed;
    keyed.reserve(resources.size());
    for (const auto& resource : resources)
        keyed.push_back({resource, resource.dataSource.cacheKey()});
    return keyed;
}

std::vector<LivePhotoResource> LumenManager::missingResources(const LivePhotoSource& source,
                                                              const LumenParsedOptionsInfo& options) const
{
    std::vector<LivePhotoResource> resources;
    for (auto& resource : missing(keyed(source.resources), options))
        resources.push_back(std::move(resource.resource));
    return resources;
}

std::vector<LumenManager::KeyedLivePhotoResource> LumenManager::missing(
    const std::vector<KeyedLivePhotoResource>& resources, const LumenParsedOptionsInfo& options) const
{
    if (options.forceRefresh)
        return resources;
    std::vector<KeyedLivePhotoResource> missing;
    for (const auto& resource : resources)
        if (!livePhotoFileURL(resource, options))
            missing.push_back(resource);
    return missing;
}

std::shared_ptr<LivePhotoDownloadGroup> LumenManager::downloadAndCache(const std::vector<LivePhotoResource>& resources,
                                                                       const LumenParsedOptionsInfo& options,
                                                                       LivePhotoDownloadsHandler handler) const
{
    return downloadAndCache(keyed(resources), options, std::move(handler));
}

std::shared_ptr<LivePhotoDownloadGroup> LumenManager::downloadAndCache(
    const std::vector<KeyedLivePhotoResource>& resources, const LumenParsedOptionsInfo& options,
    LivePhotoDownloadsHandler handler) const
{
    const auto group = std::make_shared<LivePhotoDownloadGroup>(resources.size(), std::move(handler));
    for (const auto& resource : resources)
        fetchLivePhotoFile(resource, options, group);
    return group;
}

void LumenManager::fetchLivePhotoFile(const KeyedLivePhotoResource& keyedResource, const LumenParsedOptionsInfo& options,
                                      const std::shared_ptr<LivePhotoDownloadGroup>& group) const
{
    const LivePhotoResource& resource = keyedResource.resource;
    auto store = [cache = targetCache(options), resource, key = keyedResource.key, options,
                  group](LivePhotoDownloadGroup::ChildResult fetched) {
        if (!fetched || group->hasEnded()) {
            group->childFinished(std::move(fetched));
            return;
        }
        // Bytes of an undetermined type that are neither a still nor a movie could never be
        // found again: they are not stored, and the file is missing.
        const auto extension = resource.referenceFileType.determinedFileExtension(fetched->originalData);
        if (!extension) {
            group->childFinished(std::move(fetched));
            return;
        }
        const QByteArray bytes = fetched->originalData;
        cache->storeToDisk(bytes, key, livePhotoProcessorIdentifier(), extension,
                           options.diskCacheExpiration, CallbackQueue::untouch(),
                           [group, fetched = std::move(*fetched)](const CacheStoreResult& stored) mutable {
                               if (stored.diskCacheResult)
                                   group->childFinished(std::move(fetched));
                               else
                                   group->childFinished(std::unexpected(stored.diskCacheResult.error()));
                           });
    };

    if (const auto provider = bytesProvider(resource, keyedResource.key)) {
        provider->firstAnswer([provider, store = std::move(store)](ImageDataProvider::Result data) {
            if (!data)
                store(std::unexpected(LumenError(LumenError::ImageSettingErrorReason::DataProviderError{
                    .provider = provider, .error = std::move(data.error())})));
            else
                store(LivePhotoResourceDownloadingResult{.url = provider->contentURL(), .originalData = *data});
        });
        return;
    }
    LumenParsedOptionsInfo downloadOptions = options;
    downloadOptions.callbackQueue = CallbackQueue::untouch();
    const auto loader = options.downloader ? options.downloader : downloader();
    const auto networkResource = resource.dataSource.networkResource();
    group->addTask(loader->downloadLivePhotoResource(networkResource ? networkResource->downloadURL() : QUrl(),
                                                     downloadOptions, std::move(store)));
}

std::optional<QUrl> LumenManager::livePhotoFileURL(const KeyedLivePhotoResource& resource,
                                                   const LumenParsedOptionsInfo& options) const
{
    const auto cache = targetCache(options);
    for (const QString& extension : resource.resource.referenceFileType.lookupExtensions()) {
        if (auto fileURL = cache->cachedFileURL(resource.key, livePhotoProcessorIdentifier(), extension))
            return fileURL;
    }
    return std::nullopt;
}

void LumenManager::removeLivePhotoFiles(const LivePhotoSource& source, const LumenParsedOptionsInfo& options) const
{
    const auto cache = targetCache(options);
    for (const auto& resource : source.resources)
        for (const QString& extension : resource.referenceFileType.lookupExtensions())
            cache->removeImage(resource.dataSource.cacheKey(), livePhotoProcessorIdentifier(), extension,
                               /*fromMemory=*/false, /*fromDisk=*/true);
}

} // namespace Lumen
