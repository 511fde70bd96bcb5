#pragma once

#include "Lumen/foundation/LumenError.h"

namespace Lumen {

// The errors a retrieval makes itself.

// `taskCancelled` for a retrieval cancelled when no download was running.
LumenError retrievalCancelledError();
// `imageNotExisting` naming the cache key.
LumenError imageNotExistingError(const QString& key);
// `processingFailed` naming the processor and what it was given.
LumenError processingFailedError(std::shared_ptr<const ImageProcessor> processor, ImageProcessItem item);

} // namespace Lumen
