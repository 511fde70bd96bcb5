#include "Lumen/download/ImageDataProcessor.h"

#include "Lumen/foundation/ConcurrentDispatchQueue.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/QueueLabels.h"
#include "Lumen/foundation/imaging/ImageResampling.h"

#include <map>
#include <tuple>
#include <utility>

namespace Lumen {

namespace {

// What decides the image a processor makes from the same bytes: callers that differ in any
// of these must not share an image.
using DecodingKey = std::tuple<QString, double, bool, bool>;

DecodingKey decodingKeyOf(const LumenParsedOptionsInfo& options)
{
    return {options.processor->identifier(), options.scaleFactor, options.preloadAllAnimationData,
            options.onlyLoadFirstFrame};
}

} // namespace

std::shared_ptr<ImageDataProcessor> ImageDataProcessor::make(QByteArray data, QUrl sourceURL,
                                                             std::vector<SessionDataTask::TaskCallback> callbacks,
                                                             std::optional<CallbackQueue> processingQueue)
{
    return std::make_shared<ImageDataProcessor>(Passkey{}, std::move(data), std::move(sourceURL), std::move(callbacks),
                                                processingQueue.value_or(sharedProcessingQueue()));
}

CallbackQueue ImageDataProcessor::sharedProcessingQueue()
{
    // Concurrent: one transfer's decoding must not wait behind another's. Each processor still
    // answers its own callbacks in order, from one block.
    static const std::shared_ptr<DispatchQueue> queue = std::make_shared<ConcurrentDispatchQueue>(
        QString::fromLatin1(QueueLabel::imageDownloaderProcess), DispatchClock::system());
    return CallbackQueue::dispatch(*queue);
}

ImageDataProcessor::ImageDataProcessor(Passkey, QByteArray data, QUrl sourceURL,
                                       std::vector<SessionDataTask::TaskCallback> callbacks, CallbackQueue queue)
    : m_data(std::move(data))
    , m_sourceURL(std::move(sourceURL))
    , m_callbacks(std::move(callbacks))
    , m_queue(std::move(queue))
{
}

void ImageDataProcessor::process()
{
    m_queue.execute([self = shared_from_this()] { self->doProcess(); });
}

void ImageDataProcessor::doProcess() const
{
    std::map<DecodingKey, ImagePtr> made;
    const ImageProcessItem item{m_data};
    for (const auto& callback : m_callbacks) {
        const auto& processor = callback.options.processor;
        const DecodingKey key = decodingKeyOf(callback.options);
        ImagePtr image;
        if (const auto found = made.find(key); found != made.end()) {
            image = found->second;
        } else {
            image = processor->process(item, callback.options);
            if (image)
                made.emplace(key, image);
        }

        Result result = std::unexpected(
            LumenError(LumenError::ProcessorErrorReason::ProcessingFailed{processor, item, m_sourceURL}));
        if (image)
            result = callback.options.backgroundDecode ? decoded(image, image->scale()) : image;
        m_onImageProcessed->call(Processed{std::move(result), callback});
    }
}

} // namespace Lumen
