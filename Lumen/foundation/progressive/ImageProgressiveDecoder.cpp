#include "Lumen/foundation/progressive/ImageProgressiveDecoder.h"

#include "Lumen/download/ImageDataProcessor.h"
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
    ImageCreatingOptions creatingOptions;
};

// A coarse picture is blurred and re-encoded, so the processing sees JPEG bytes as it would
// for any prefix. Falls back to the prefix itself when it cannot be decoded or encoded.
QByteArray blurredPreview(const QByteArray& prefix, int scanCount, const ImageCreatingOptions& creatingOptions)
{
    const ImagePtr image = imageFromData(prefix, creatingOptions);
    if (!image)
        return prefix;
    const ImagePtr preview = blurred(image, ImageProgressiveDecoder::previewBlurRadius(scanCount));
    return jpegRepresentation(preview, 1.0).value_or(prefix);
}

// The images the callers' processing makes of `bytes`, one for each caller whose processing
// succeeded. The processor runs here, on the processing queue this decode already holds, so
// the images of one prefix come before those of the next.
std::vector<ImagePtr> processedImages(const QByteArray& bytes, const std::vector<SessionDataTask::TaskCallback>& callbacks,
                                      const QUrl& sourceURL)
{
    std::vector<ImagePtr> images;
    const auto processor = ImageDataProcessor::make(bytes, sourceURL, callbacks, CallbackQueue::untouch());
    processor->onImageProcessed().setBlock([&images](const ImageDataProcessor::Processed& processed) {
        if (processed.result)
            images.push_back(*processed.result);
    });
    processor->process();
    return images;
}

} // namespace

ImageProgressiveDecoder::ImageProgressiveDecoder(const LumenParsedOptionsInfo& options)
    : m_isBlur(options.progressiveJPEG->isBlur)
    , m_isFastestScan(options.progressiveJPEG->isFastestScan)
    , m_processingQueue(processingQueueOr(options.processingQueue))
    , m_creatingOptions(options.imageCreatingOptions())
{
}

std::vector<qsizetype> ImageProgressiveDecoder::scan(const QByteArray& data)
{
    ScanWalk walk = m_isFastestScan ? latestScanPrefix(data, m_progress) : newScanPrefixes(data, m_progress);
    m_progress = walk.progress;
    return std::move(walk.prefixLengths);
}

void ImageProgressiveDecoder::decode(const QByteArray& data, std::vector<qsizetype> prefixLengths,
                                     std::vector<SessionDataTask::TaskCallback> callbacks, QUrl sourceURL,
                                     std::function<void(const ImagePtr&)> onImage, DispatchBlock onFinished) const
{
    const DecodeSettings settings{m_isBlur, m_progress.scannedCount, m_creatingOptions};
    m_processingQueue.execute([data, prefixLengths = std::move(prefixLengths), callbacks = std::move(callbacks),
                               sourceURL = std::move(sourceURL), settings, onImage = std::move(onImage),
                               onFinished = std::move(onFinished)]() mutable {
        const bool blurs = settings.isBlur && settings.scanCount <= lastBlurredScanCount;
        for (const qsizetype length : prefixLengths) {
            const QByteArray prefix = data.left(length);
            if (!containsJPEGMarker(prefix, JPEGMarker::SOF2()))
                continue;
            const QByteArray bytes = blurs ? blurredPreview(prefix, settings.scanCount, settings.creatingOptions) : prefix;
            for (ImagePtr& image : processedImages(bytes, callbacks, sourceURL)) {
                if (onImage)
                    CallbackQueue::currentOrAsyncOnMain([onImage, image = std::move(image)] { onImage(image); });
            }
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
