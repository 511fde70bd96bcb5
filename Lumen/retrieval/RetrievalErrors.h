#pragma once

#include "Lumen/foundation/LumenError.h"

namespace Lumen {

// The errors a retrieval makes itself.

// `taskCancelled` for a retrieval cancelled when no download was running.
LumenError retrievalCancelledError();
// `imageNotExisting` naming the cache key.
LumenError imageNotExistingError(const QString& key);
// `processingFailed` naming the processor, what it was given and the URL it came from.
LumenError processingFailedError(std::shared_ptr<const ImageProcessor> processor, ImageProcessItem item,
                                 std::optional<QUrl> sourceURL);

} // namespace Lumen
