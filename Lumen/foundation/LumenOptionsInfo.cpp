#include "Lumen/foundation/LumenOptionsInfo.h"

#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/foundation/DataReceivingSideEffect.h"
#include "Lumen/foundation/ImageProcessor.h"

namespace Lumen {

namespace {

using Parsed = LumenParsedOptionsInfo;

void apply(Parsed& o, const Option::TargetCache& item) { o.targetCache = item.value; }
void apply(Parsed& o, const Option::OriginalCache& item) { o.originalCache = item.value; }
void apply(Parsed& o, const Option::Downloader& item) { o.downloader = item.value; }
void apply(Parsed& o, const Option::Transition& item) { o.transition = item.value; }
void apply(Parsed& o, const Option::DownloadPriority& item) { o.downloadPriority = item.value; }
void apply(Parsed& o, const Option::CallbackQueue& item) { o.callbackQueue = item.value; }
void apply(Parsed& o, const Option::ScaleFactor& item) { o.scaleFactor = item.value; }
void apply(Parsed& o, const Option::RequestModifier& item) { o.requestModifier = item.value; }
void apply(Parsed& o, const Option::RedirectHandler& item) { o.redirectHandler = item.value; }
void apply(Parsed& o, const Option::ImageModifier& item) { o.imageModifier = item.value; }
void apply(Parsed& o, const Option::OnFailureImage& item) { o.onFailureImage = item.value; }
void apply(Parsed& o, const Option::DiskStoreWriteOptions& item) { o.diskStoreWriteOptions = item.value; }
void apply(Parsed& o, const Option::MemoryCacheExpiration& item) { o.memoryCacheExpiration = item.value; }
void apply(Parsed& o, const Option::MemoryCacheAccessExtendingExpiration& item)
{
    o.memoryCacheAccessExtendingExpiration = item.value;
}
void apply(Parsed& o, const Option::DiskCacheExpiration& item) { o.diskCacheExpiration = item.value; }
void apply(Parsed& o, const Option::DiskCacheAccessExtendingExpiration& item)
{
    o.diskCacheAccessExtendingExpiration = item.value;
}
void apply(Parsed& o, const Option::ProcessingQueue& item) { o.processingQueue = item.value; }
void apply(Parsed& o, const Option::ProgressiveJPEG& item) { o.progressiveJPEG = item.value; }
void apply(Parsed& o, const Option::AlternativeSources& item) { o.alternativeSources = item.value; }
void apply(Parsed& o, const Option::RetryStrategy& item) { o.retryStrategy = item.value; }
void apply(Parsed& o, const Option::LowDataMode& item) { o.lowDataModeSource = item.value; }
void apply(Parsed& o, const Option::ForcedCacheFileExtension& item) { o.forcedExtension = item.value; }
void apply(Parsed& o, const Option::ForceRefresh&) { o.forceRefresh = true; }
void apply(Parsed& o, const Option::FromMemoryCacheOrRefresh&) { o.fromMemoryCacheOrRefresh = true; }
void apply(Parsed& o, const Option::ForceTransition&) { o.forceTransition = true; }
void apply(Parsed& o, const Option::CacheMemoryOnly&) { o.cacheMemoryOnly = true; }
void apply(Parsed& o, const Option::WaitForCache&) { o.waitForCache = true; }
void apply(Parsed& o, const Option::OnlyFromCache&) { o.onlyFromCache = true; }
void apply(Parsed& o, const Option::BackgroundDecode&) { o.backgroundDecode = true; }
void apply(Parsed& o, const Option::PreloadAllAnimationData&) { o.preloadAllAnimationData = true; }
void apply(Parsed& o, const Option::KeepCurrentImageWhileLoading&) { o.keepCurrentImageWhileLoading = true; }
void apply(Parsed& o, const Option::OnlyLoadFirstFrame&) { o.onlyLoadFirstFrame = true; }
void apply(Parsed& o, const Option::CacheOriginalImage&) { o.cacheOriginalImage = true; }
void apply(Parsed& o, const Option::AlsoPrefetchToMemory&) { o.alsoPrefetchToMemory = true; }
void apply(Parsed& o, const Option::LoadDiskFileSynchronously&) { o.loadDiskFileSynchronously = true; }

// A null processor or serializer would leave every reader with nothing to call: such an
// item keeps the default instead.
void apply(Parsed& o, const Option::Processor& item)
{
    o.processor = item.value ? item.value : DefaultImageProcessor::shared();
}
void apply(Parsed& o, const Option::CacheSerializer& item)
{
    o.cacheSerializer = item.value ? item.value : DefaultCacheSerializer::shared();
}

} // namespace

const LumenOptionsInfo& emptyOptionsInfo()
{
    static const LumenOptionsInfo empty;
    return empty;
}

LumenParsedOptionsInfo::LumenParsedOptionsInfo()
    : processor(DefaultImageProcessor::shared())
    , cacheSerializer(DefaultCacheSerializer::shared())
{
}

LumenParsedOptionsInfo::LumenParsedOptionsInfo(const std::optional<LumenOptionsInfo>& items)
    : LumenParsedOptionsInfo()
{
    if (!items)
        return;
    for (const auto& item : *items)
        std::visit([this](const auto& option) { apply(*this, option); }, item);
    if (!originalCache)
        originalCache = targetCache;
}

LumenParsedOptionsInfo LumenParsedOptionsInfo::withClearedDefaultsRestored() const
{
    LumenParsedOptionsInfo options = *this;
    if (!options.processor)
        options.processor = DefaultImageProcessor::shared();
    if (!options.cacheSerializer)
        options.cacheSerializer = DefaultCacheSerializer::shared();
    return options;
}

ImageCreatingOptions LumenParsedOptionsInfo::imageCreatingOptions() const
{
    return ImageCreatingOptions{
        .scale = scaleFactor,
        .duration = 0.0,
        .preloadAll = preloadAllAnimationData,
        .onlyFirstFrame = onlyLoadFirstFrame,
    };
}

} // namespace Lumen
