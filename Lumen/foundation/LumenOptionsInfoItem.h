#pragma once

#include "Lumen/cache/StorageExpiration.h"
#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/DataWritingOptions.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/ImageTransition.h"
#include "Lumen/retrieval/Source.h"

#include <QString>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace Lumen {

class AsyncImageDownloadRequestModifier;
class CacheSerializer;
class ImageCache;
class ImageDownloadRedirectHandler;
class ImageDownloader;
class ImageModifier;
class ImageProcessor;
class ImageProgressive;
class RetryStrategy;

// The option items. Each sets the parsed option field of the same name (see
// LumenParsedOptionsInfo): an item with a value replaces the field, an item without one sets
// its flag to true.
namespace Option {

struct TargetCache {
    std::shared_ptr<ImageCache> value;
};
struct OriginalCache {
    std::shared_ptr<ImageCache> value;
};
struct Downloader {
    std::shared_ptr<ImageDownloader> value;
};
struct Transition {
    ImageTransition value;
};
struct DownloadPriority {
    float value = 0.0f;
};
struct CallbackQueue {
    Lumen::CallbackQueue value;
};
struct ScaleFactor {
    double value = 1.0;
};
struct RequestModifier {
    std::shared_ptr<const AsyncImageDownloadRequestModifier> value;
};
struct RedirectHandler {
    std::shared_ptr<const ImageDownloadRedirectHandler> value;
};
struct Processor {
    std::shared_ptr<const ImageProcessor> value;
};
struct CacheSerializer {
    std::shared_ptr<const Lumen::CacheSerializer> value;
};
struct ImageModifier {
    std::shared_ptr<const Lumen::ImageModifier> value;
};
// Null is "no image", which differs from giving no OnFailureImage item at all.
struct OnFailureImage {
    ImagePtr value;
};
struct DiskStoreWriteOptions {
    DataWritingOptions value;
};
struct MemoryCacheExpiration {
    StorageExpiration value;
};
struct MemoryCacheAccessExtendingExpiration {
    ExpirationExtending value;
};
struct DiskCacheExpiration {
    StorageExpiration value;
};
struct DiskCacheAccessExtendingExpiration {
    ExpirationExtending value;
};
struct ProcessingQueue {
    Lumen::CallbackQueue value;
};
struct ProgressiveJPEG {
    std::shared_ptr<const ImageProgressive> value;
};
struct AlternativeSources {
    std::vector<Source> value;
};
struct RetryStrategy {
    std::shared_ptr<const Lumen::RetryStrategy> value;
};
// Sets `lowDataModeSource`.
struct LowDataMode {
    std::optional<Source> value;
};
// Sets `forcedExtension`.
struct ForcedCacheFileExtension {
    std::optional<QString> value;
};

struct ForceRefresh {};
struct FromMemoryCacheOrRefresh {};
struct ForceTransition {};
struct CacheMemoryOnly {};
struct WaitForCache {};
struct OnlyFromCache {};
struct BackgroundDecode {};
struct PreloadAllAnimationData {};
struct KeepCurrentImageWhileLoading {};
struct OnlyLoadFirstFrame {};
struct CacheOriginalImage {};
struct AlsoPrefetchToMemory {};
struct LoadDiskFileSynchronously {};

} // namespace Option

// One image option. Operations take a list of them and fold it into
// LumenParsedOptionsInfo; a later item overrides an earlier one.
using LumenOptionsInfoItem = std::variant<
    Option::TargetCache, Option::OriginalCache, Option::Downloader, Option::Transition, Option::DownloadPriority,
    Option::CallbackQueue, Option::ScaleFactor, Option::RequestModifier, Option::RedirectHandler, Option::Processor,
    Option::CacheSerializer, Option::ImageModifier, Option::OnFailureImage, Option::DiskStoreWriteOptions,
    Option::MemoryCacheExpiration, Option::MemoryCacheAccessExtendingExpiration, Option::DiskCacheExpiration,
    Option::DiskCacheAccessExtendingExpiration, Option::ProcessingQueue, Option::ProgressiveJPEG,
    Option::AlternativeSources, Option::RetryStrategy, Option::LowDataMode, Option::ForcedCacheFileExtension,
    Option::ForceRefresh, Option::FromMemoryCacheOrRefresh, Option::ForceTransition, Option::CacheMemoryOnly,
    Option::WaitForCache, Option::OnlyFromCache, Option::BackgroundDecode, Option::PreloadAllAnimationData,
    Option::KeepCurrentImageWhileLoading, Option::OnlyLoadFirstFrame, Option::CacheOriginalImage,
    Option::AlsoPrefetchToMemory, Option::LoadDiskFileSynchronously>;

using LumenOptionsInfo = std::vector<LumenOptionsInfoItem>;

// The one empty option list that stands in wherever a caller has none.
const LumenOptionsInfo& emptyOptionsInfo();

} // namespace Lumen
