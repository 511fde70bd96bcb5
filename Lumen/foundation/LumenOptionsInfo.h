#pragma once

#include "Lumen/foundation/ImageCreatingOptions.h"
#include "Lumen/foundation/LibraryDefaults.h"
#include "Lumen/foundation/LumenOptionsInfoItem.h"

#include <memory>
#include <optional>
#include <vector>

namespace Lumen {

class DataReceivingSideEffect;

// The options of one image operation, folded from a list of option items. A plain value:
// copies are independent, while the objects it refers to (caches, downloader, processor,
// side effects...) are shared between copies. Callers adjust fields freely after parsing.
struct LumenParsedOptionsInfo {
    // Every field at its default.
    LumenParsedOptionsInfo();
    // The defaults, then each item applied in list order (the last of a kind wins), then an
    // absent `originalCache` falls back to `targetCache`. An absent list gives the defaults.
    explicit LumenParsedOptionsInfo(const std::optional<LumenOptionsInfo>& items);

    // Where the processed image is looked up and stored.
    std::shared_ptr<ImageCache> targetCache;
    // Where the unprocessed original is kept; after parsing, `targetCache` unless an item set it.
    std::shared_ptr<ImageCache> originalCache;
    std::shared_ptr<ImageDownloader> downloader;
    ImageTransition transition;
    float downloadPriority = Defaults::downloadPriority;
    bool forceRefresh = false;
    bool fromMemoryCacheOrRefresh = false;
    bool forceTransition = false;
    bool cacheMemoryOnly = false;
    bool waitForCache = false;
    bool onlyFromCache = false;
    bool backgroundDecode = false;
    bool preloadAllAnimationData = false;
    // Where completion handlers run.
    CallbackQueue callbackQueue = CallbackQueue::mainCurrentOrAsync();
    double scaleFactor = 1.0;
    std::shared_ptr<const AsyncImageDownloadRequestModifier> requestModifier;
    std::shared_ptr<const ImageDownloadRedirectHandler> redirectHandler;
    // Never null after construction: the default processor unless an item set another.
    std::shared_ptr<const ImageProcessor> processor;
    std::shared_ptr<const ImageModifier> imageModifier;
    // Never null after construction: the default serializer unless an item set another.
    std::shared_ptr<const CacheSerializer> cacheSerializer;
    bool keepCurrentImageWhileLoading = false;
    bool onlyLoadFirstFrame = false;
    bool cacheOriginalImage = false;
    // Three states: absent (no item given), holding null (given "no image"), holding an image.
    std::optional<ImagePtr> onFailureImage;
    bool alsoPrefetchToMemory = false;
    bool loadDiskFileSynchronously = false;
    DataWritingOptions diskStoreWriteOptions;
    std::optional<StorageExpiration> memoryCacheExpiration;
    ExpirationExtending memoryCacheAccessExtendingExpiration = ExpirationExtending::cacheTime();
    std::optional<StorageExpiration> diskCacheExpiration;
    ExpirationExtending diskCacheAccessExtendingExpiration = ExpirationExtending::cacheTime();
    std::optional<CallbackQueue> processingQueue;
    std::shared_ptr<const ImageProgressive> progressiveJPEG;
    std::optional<std::vector<Source>> alternativeSources;
    std::shared_ptr<const RetryStrategy> retryStrategy;
    std::optional<Source> lowDataModeSource;
    std::optional<QString> forcedExtension;
    // No item sets it: operations that report progress append their side effects.
    std::optional<std::vector<std::shared_ptr<DataReceivingSideEffect>>> onDataReceived;

    // A processor or serializer cleared after parsing gives way to the default one.
    LumenParsedOptionsInfo withClearedDefaultsRestored() const;
    // The decoding options these options ask for: their scale factor, no duration, and
    // their animation preloading and first-frame choices.
    ImageCreatingOptions imageCreatingOptions() const;
};

} // namespace Lumen
