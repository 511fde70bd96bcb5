#pragma once

#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/DispatchQueue.h"

#include <memory>
#include <optional>

namespace Lumen {

// The process-wide serial queue of progressive decoding, labelled
// "com.vantrel.Lumen.ImageDownloader.Process" like the (concurrent) processing queue of
// downloaded data. Made on first use.
const std::shared_ptr<DispatchQueue>& sharedImageProcessingQueue();

// The options' processing queue when they name one, otherwise `dispatch` on the shared queue.
CallbackQueue processingQueueOr(const std::optional<CallbackQueue>& processingQueue);

} // namespace Lumen
