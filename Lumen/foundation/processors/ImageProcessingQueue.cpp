#include "Lumen/foundation/processors/ImageProcessingQueue.h"

#include "Lumen/foundation/QueueLabels.h"

namespace Lumen {

const std::shared_ptr<DispatchQueue>& sharedImageProcessingQueue()
{
    static const auto queue = DispatchQueue::makeSerial(QString::fromLatin1(QueueLabel::imageDownloaderProcess));
    return queue;
}

CallbackQueue processingQueueOr(const std::optional<CallbackQueue>& processingQueue)
{
    return processingQueue.value_or(CallbackQueue::dispatch(*sharedImageProcessingQueue()));
}

} // namespace Lumen
