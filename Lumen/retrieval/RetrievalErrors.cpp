#include "Lumen/retrieval/RetrievalErrors.h"

#include <utility>

namespace Lumen {

LumenError retrievalCancelledError()
{
    return LumenError::RequestErrorReason::TaskCancelled{nullptr, 0};
}

LumenError imageNotExistingError(const QString& key)
{
    return LumenError::CacheErrorReason::ImageNotExisting{key};
}

LumenError processingFailedError(std::shared_ptr<const ImageProcessor> processor, ImageProcessItem item,
                                 std::optional<QUrl> sourceURL)
{
    return LumenError::ProcessorErrorReason::ProcessingFailed{std::move(processor), std::move(item),
                                                              std::move(sourceURL)};
}

} // namespace Lumen
