#pragma once

#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/DispatchQueue.h"

#include <memory>
#include <optional>

namespace Lumen {

// The one process-wide serial queue labelled "com.vantrel.Lumen.ImageDownloader.Process",
// shared by the processing of downloaded data and by progressive decoding. Made on first use.
const std::shared_ptr<DispatchQueue>& sharedImageProcessingQueue();

// The options' processing queue when they name one, otherwise `dispatch` on the shared queue.
CallbackQueue processingQueueOr(const std::optional<CallbackQueue>& processingQueue);

} // namespace Lumen
