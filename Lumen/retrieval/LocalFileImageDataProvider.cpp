#include "Lumen/retrieval/LocalFileImageDataProvider.h"

#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/retrieval/RegularFileReading.h"
#include "Lumen/retrieval/URLKeys.h"

#include <cerrno>

namespace Lumen {

namespace {

ImageDataProvider::Result readFile(const QUrl& fileURL)
{
    if (!fileURL.isLocalFile())
        return std::unexpected(fileError(EINVAL, QStringLiteral("Not a file URL: ") + absoluteString(fileURL)));
    return readRegularFile(fileURL.toLocalFile(), providedFileSizeLimit);
}

} // namespace

LocalFileImageDataProvider::LocalFileImageDataProvider(QUrl fileURL, std::optional<QString> cacheKey,
                                                       CallbackQueue loadingQueue)
    : m_fileURL(std::move(fileURL))
    , m_loadingQueue(std::move(loadingQueue))
    , m_cacheKey(cacheKey ? std::move(*cacheKey) : localFileCacheKey(m_fileURL))
{
}

CallbackQueue LocalFileImageDataProvider::defaultLoadingQueue()
{
    return CallbackQueue::dispatch(*DispatchQueue::global());
}

void LocalFileImageDataProvider::data(DataHandler handler) const
{
    m_loadingQueue.execute([fileURL = m_fileURL, handler = std::move(handler)] { handler(readFile(fileURL)); });
}

} // namespace Lumen
