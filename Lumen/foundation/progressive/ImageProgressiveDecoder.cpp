#include "Lumen/foundation/progressive/ImageProgressiveDecoder.h"

#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/imaging/ImageBlur.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/ImageEncoding.h"
#include "Lumen/foundation/imaging/ImageFormat.h"
#include "Lumen/foundation/processors/ImageProcessingQueue.h"
#include "Lumen/foundation/progressive/ImageProgressive.h"

#include <algorithm>
#include <memory>

namespace Lumen {

namespace {

struct DecodeSettings {
    bool isBlur;
    int scanCount;
    LumenParsedOptionsInfo options;
};

// A coarse picture is blurred and re-encoded, so the processor sees JPEG bytes as it would
// for any prefix. Falls back to the prefix itself when it cannot be decoded or encoded.
QByteArray blurredPreview(const QByteArray& prefix, int scanCount, const LumenParsedOptionsInfo& options)
{
    const ImagePtr image = imageFromData(prefix, options.imageCreatingOptions());
    if (!image)
        return prefix;
    const ImagePtr preview = blurred(image, ImageProgressiveDecoder::previewBlurRadius(scanCount));
    return jpegRepresentation(preview, 1.0).value_or(prefix);
}

ImagePtr decodePrefix(const QByteArray& prefix, const DecodeSettings& settings)
{
    if (!containsJPEGMarker(prefix, JPEGMarker::SOF2()))
        return nullptr;
    const bool blurs = settings.isBlur && settings.scanCount <= ImageProgressiveDecoder::lastBlurredScanCount;
    const QByteArray bytes = blurs ? blurredPreview(prefix, settings.scanCount, settings.options) : prefix;
    const auto& processor = settings.options.processor ? settings.options.processor
                                                       : std::static_pointer_cast<const ImageProcessor>(
                                                             DefaultImageProcessor::shared());
    return processor->process(ImageProcessItem{bytes}, settings.options);
}

} // namespace

ImageProgressiveDecoder::ImageProgressiveDecoder(const LumenParsedOptionsInfo& options)
    : m_isBlur(options.progressiveJPEG->isBlur)
    , m_isFastestScan(options.progressiveJPEG->isFastestScan)
    , m_processingQueue(processingQueueOr(options.processingQueue))
    , m_options(options)
{
    // The decoding copy must not keep the retrieval's side effects (this decoder's own provider
    // among them) alive.
    m_options.onDataReceived.reset();
    m_options.progressiveJPEG.reset();
}

std::vector<qsizetype> ImageProgressiveDecoder::scan(const QByteArray& data)
{
    ScanWalk walk = m_isFastestScan ? latestScanPrefix(data, m_progress) : newScanPrefixes(data, m_progress);
    m_progress = walk.progress;
    return std::move(walk.prefixLengths);
}

void ImageProgressiveDecoder::decode(const QByteArray& data, std::vector<qsizetype> prefixLengths,
                                     std::function<void(const ImagePtr&)> onImage, DispatchBlock onFinished) const
{
    auto settings =
        std::make_shared<const DecodeSettings>(DecodeSettings{m_isBlur, m_progress.scannedCount, m_options});
    m_processingQueue.execute([data, prefixLengths = std::move(prefixLengths), settings, onImage = std::move(onImage),
                               onFinished = std::move(onFinished)]() mutable {
        for (const qsizetype length : prefixLengths) {
            const ImagePtr image = decodePrefix(data.left(length), *settings);
            if (image && onImage)
                CallbackQueue::currentOrAsyncOnMain([onImage, image] { onImage(image); });
        }
        // Queued behind the images, so the update finishes after its last refresh.
        CallbackQueue::currentOrAsyncOnMain(std::move(onFinished));
    });
}

double ImageProgressiveDecoder::previewBlurRadius(int scanCount)
{
    return std::max(2.0, 14.0 - 4.0 * scanCount);
}

} // namespace Lumen
