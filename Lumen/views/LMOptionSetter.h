#pragma once

#include "Lumen/cache/StorageExpiration.h"
#include "Lumen/download/DelayRetryStrategy.h"
#include "Lumen/download/URLRequest.h"
#include "Lumen/download/URLResponse.h"
#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/DataWritingOptions.h"
#include "Lumen/foundation/Delegate.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/LumenError.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageFormat.h"
#include "Lumen/foundation/processors/BlurImageProcessor.h"
#include "Lumen/foundation/processors/ColorControlsProcessor.h"
#include "Lumen/foundation/processors/CroppingImageProcessor.h"
#include "Lumen/foundation/processors/OverlayImageProcessor.h"
#include "Lumen/foundation/processors/ResizingImageProcessor.h"
#include "Lumen/foundation/processors/RoundCornerImageProcessor.h"
#include "Lumen/foundation/processors/TintImageProcessor.h"
#include "Lumen/retrieval/Source.h"

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <concepts>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace Lumen {

class AsyncImageDownloadRequestModifier;
class CacheSerializer;
class ImageCache;
class ImageDownloadRedirectHandler;
class ImageDownloader;
class ImageModifier;
class ImageProcessor;
class RetryStrategy;
class SessionDataTask;
struct RetrieveImageResult;

namespace LM {

// What a redirect block is handed: the transfer, the response that asks for the redirect, the
// request proposed for it, and the completion that answers it with the request to follow (or
// none, which takes the redirect response itself as the answer).
struct RedirectPayload {
    std::shared_ptr<SessionDataTask> task;
    URLResponse response;
    URLRequest newRequest;
    std::function<void(std::optional<URLRequest>)> completionHandler;
};

} // namespace LM

// Bytes of an image received so far, and the bytes expected.
struct DownloadProgress {
    std::int64_t receivedSize = 0;
    std::int64_t totalSize = 0;
};

using LMFailureDelegate = Delegate<LumenError>;
using LMSuccessDelegate = Delegate<RetrieveImageResult>;
using LMProgressDelegate = Delegate<DownloadProgress>;

// The work of the setters that build something, kept out of the template below.
namespace LMOptionSetting {

using RequestChange = std::function<void(URLRequest&)>;
using RedirectBlock = std::function<void(LM::RedirectPayload)>;
// Changes the image in place (it may also replace it); an error leaves the image as it was.
using ImageChange = std::function<std::expected<void, QString>(ImagePtr&)>;

// `processor` behind the options' current processor.
void appendProcessor(LumenParsedOptionsInfo& options, std::shared_ptr<const ImageProcessor> processor);
// The processors joined in list order; the default processor for an empty list.
std::shared_ptr<const ImageProcessor> composed(const std::vector<std::shared_ptr<const ImageProcessor>>& processors);
// Replaces the default processor, or goes behind any other.
void applyDownsampling(LumenParsedOptionsInfo& options, QSizeF size);
// PNG for `unknown`; JPEG at the given quality or 1.0; GIF as it is.
std::shared_ptr<const CacheSerializer> serializer(ImageFormat format, std::optional<double> jpegCompressionQuality);
// Each request is copied, changed by `change`, and the copy sent.
std::shared_ptr<const AsyncImageDownloadRequestModifier> requestModifier(RequestChange change);
std::shared_ptr<const ImageDownloadRedirectHandler> redirectHandler(RedirectBlock block);
std::shared_ptr<const ImageModifier> imageModifier(ImageChange change);

} // namespace LMOptionSetting

// Chainable option setters for every object that configures one image request. The adopter
// `Self` derives from `LMOptionSetter<Self>` and provides
//   LumenParsedOptionsInfo options() const;   void setOptions(LumenParsedOptionsInfo);
//   LMFailureDelegate& onFailureDelegate() const;   LMSuccessDelegate& onSuccessDelegate() const;
//   LMProgressDelegate& onProgressDelegate() const;
// Every setter answers the adopter itself. A setter reads the options and writes them back in
// two separate accesses of the adopter, so setters racing on two threads may lose a change.
// Nothing is checked here: the values are read when a request runs.
template <typename Self>
class LMOptionSetter {
public:
    using ProgressBlock = std::function<void(std::int64_t receivedSize, std::int64_t totalSize)>;

    template <std::invocable<LumenParsedOptionsInfo&> Change>
    Self& modifyOptions(Change&& change)
    {
        LumenParsedOptionsInfo options = self().options();
        std::forward<Change>(change)(options);
        self().setOptions(std::move(options));
        return self();
    }

    Self& targetCache(std::shared_ptr<ImageCache> cache) { return set(&Info::targetCache, std::move(cache)); }
    Self& originalCache(std::shared_ptr<ImageCache> cache) { return set(&Info::originalCache, std::move(cache)); }
    Self& downloader(std::shared_ptr<ImageDownloader> loader) { return set(&Info::downloader, std::move(loader)); }
    Self& downloadPriority(float priority) { return set(&Info::downloadPriority, priority); }
    Self& forceRefresh(bool enabled = true) { return set(&Info::forceRefresh, enabled); }
    Self& fromMemoryCacheOrRefresh(bool enabled = true) { return set(&Info::fromMemoryCacheOrRefresh, enabled); }
    Self& forceTransition(bool enabled = true) { return set(&Info::forceTransition, enabled); }
    Self& cacheMemoryOnly(bool enabled = true) { return set(&Info::cacheMemoryOnly, enabled); }
    Self& waitForCache(bool enabled = true) { return set(&Info::waitForCache, enabled); }
    Self& onlyFromCache(bool enabled = true) { return set(&Info::onlyFromCache, enabled); }
    Self& backgroundDecode(bool enabled = true) { return set(&Info::backgroundDecode, enabled); }
    Self& callbackQueue(CallbackQueue queue) { return set(&Info::callbackQueue, std::move(queue)); }
    Self& scaleFactor(double factor) { return set(&Info::scaleFactor, factor); }
    Self& cacheOriginalImage(bool enabled = true) { return set(&Info::cacheOriginalImage, enabled); }
    // Null is "no failure image", which differs from never calling this.
    Self& onFailureImage(ImagePtr image) { return set(&Info::onFailureImage, std::optional<ImagePtr>(std::move(image))); }
    Self& loadDiskFileSynchronously(bool enabled = true) { return set(&Info::loadDiskFileSynchronously, enabled); }
    Self& diskStoreWriteOptions(DataWritingOptions writing) { return set(&Info::diskStoreWriteOptions, writing); }
    Self& memoryCacheExpiration(std::optional<StorageExpiration> expiration)
    {
        return set(&Info::memoryCacheExpiration, std::move(expiration));
    }
    Self& memoryCacheAccessExtendingExpiration(ExpirationExtending extending)
    {
        return set(&Info::memoryCacheAccessExtendingExpiration, std::move(extending));
    }
    Self& diskCacheExpiration(std::optional<StorageExpiration> expiration)
    {
        return set(&Info::diskCacheExpiration, std::move(expiration));
    }
    Self& diskCacheAccessExtendingExpiration(ExpirationExtending extending)
    {
        return set(&Info::diskCacheAccessExtendingExpiration, std::move(extending));
    }
    Self& processingQueue(std::optional<CallbackQueue> queue) { return set(&Info::processingQueue, std::move(queue)); }
    Self& alternativeSources(std::optional<std::vector<Source>> sources)
    {
        return set(&Info::alternativeSources, std::move(sources));
    }
    Self& lowDataModeSource(std::optional<Source> source) { return set(&Info::lowDataModeSource, std::move(source)); }
    Self& retry(std::shared_ptr<const RetryStrategy> strategy) { return set(&Info::retryStrategy, std::move(strategy)); }
    Self& retry(int maxCount, DelayRetryStrategy::Interval interval)
    {
        return retry(std::make_shared<const DelayRetryStrategy>(maxCount, std::move(interval)));
    }
    Self& requestModifier(std::shared_ptr<const AsyncImageDownloadRequestModifier> modifier)
    {
        return set(&Info::requestModifier, std::move(modifier));
    }
    Self& requestModifier(LMOptionSetting::RequestChange change)
    {
        return requestModifier(LMOptionSetting::requestModifier(std::move(change)));
    }
    Self& redirectHandler(std::shared_ptr<const ImageDownloadRedirectHandler> handler)
    {
        return set(&Info::redirectHandler, std::move(handler));
    }
    Self& redirectHandler(LMOptionSetting::RedirectBlock block)
    {
        return redirectHandler(LMOptionSetting::redirectHandler(std::move(block)));
    }
    Self& imageModifier(std::shared_ptr<const ImageModifier> modifier)
    {
        return set(&Info::imageModifier, std::move(modifier));
    }
    Self& imageModifier(LMOptionSetting::ImageChange change)
    {
        return imageModifier(LMOptionSetting::imageModifier(std::move(change)));
    }
    Self& cacheSerializer(std::shared_ptr<const CacheSerializer> serializer)
    {
        return set(&Info::cacheSerializer, std::move(serializer));
    }
    Self& serialize(ImageFormat format, std::optional<double> jpegCompressionQuality = std::nullopt)
    {
        return cacheSerializer(LMOptionSetting::serializer(format, jpegCompressionQuality));
    }

    // ---- processors ------------------------------------------------------------------------
    Self& setProcessor(std::shared_ptr<const ImageProcessor> processor)
    {
        return set(&Info::processor, std::move(processor));
    }
    Self& setProcessors(const std::vector<std::shared_ptr<const ImageProcessor>>& processors)
    {
        return setProcessor(LMOptionSetting::composed(processors));
    }
    Self& appendProcessor(std::shared_ptr<const ImageProcessor> processor)
    {
        return modifyOptions([&](Info& options) { LMOptionSetting::appendProcessor(options, std::move(processor)); });
    }
    Self& roundCorner(Radius radius, std::optional<QSizeF> targetSize = std::nullopt,
                      RectCorner roundingCorners = RectCorner::all, std::optional<QColor> backgroundColor = std::nullopt)
    {
        return appendProcessor(
            std::make_shared<const RoundCornerImageProcessor>(radius, targetSize, roundingCorners, backgroundColor));
    }
    Self& blur(double radius) { return appendProcessor(std::make_shared<const BlurImageProcessor>(radius)); }
    Self& overlay(QColor color, double fraction = 0.5)
    {
        return appendProcessor(std::make_shared<const OverlayImageProcessor>(color, fraction));
    }
    Self& tint(QColor color) { return appendProcessor(std::make_shared<const TintImageProcessor>(color)); }
    Self& blackWhite() { return appendProcessor(std::make_shared<const BlackWhiteProcessor>()); }
    Self& cropping(QSizeF size, QPointF anchor = QPointF(0.5, 0.5))
    {
        return appendProcessor(std::make_shared<const CroppingImageProcessor>(size, anchor));
    }
    Self& downsampling(QSizeF size)
    {
        return modifyOptions([&](Info& options) { LMOptionSetting::applyDownsampling(options, size); });
    }
    Self& resizing(QSizeF referenceSize, ContentMode mode = ContentMode::none)
    {
        return appendProcessor(std::make_shared<const ResizingImageProcessor>(referenceSize, mode));
    }

    // ---- outcome blocks ----------------------------------------------------------------------
    // Each replaces the block registered before on the same hook. An empty function still
    // counts as a registration: the hook is then set but calls nothing.
    Self& onSuccess(std::function<void(const RetrieveImageResult&)> block)
    {
        return registerOn(self().onSuccessDelegate(), std::move(block));
    }
    Self& onFailure(std::function<void(const LumenError&)> block)
    {
        return registerOn(self().onFailureDelegate(), std::move(block));
    }
    Self& onProgress(ProgressBlock block)
    {
        std::function<void(const DownloadProgress&)> report;
        if (block)
            report = [block = std::move(block)](const DownloadProgress& progress) {
                block(progress.receivedSize, progress.totalSize);
            };
        return registerOn(self().onProgressDelegate(), std::move(report));
    }

protected:
    LMOptionSetter() = default;
    ~LMOptionSetter() = default;

private:
    using Info = LumenParsedOptionsInfo;

    Self& self() { return static_cast<Self&>(*this); }

    template <typename Field, typename Value>
    Self& set(Field Info::*field, Value&& value)
    {
        return modifyOptions([&](Info& options) { options.*field = std::forward<Value>(value); });
    }

    template <typename Input>
    Self& registerOn(Delegate<Input>& delegate, std::function<void(const Input&)> block)
    {
        delegate.setBlock([block = std::move(block)](const Input& input) {
            if (block)
                block(input);
        });
        return self();
    }
};

} // namespace Lumen
