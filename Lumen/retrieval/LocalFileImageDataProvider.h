#pragma once

#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/retrieval/ImageDataProvider.h"

namespace Lumen {

// The bytes of a local file, read in one block run through `loadingQueue`; the handler is
// called from that block. Only regular files up to `providedFileSizeLimit` are read: anything
// else fails with a clear "POSIX" error, as does a URL that is not a file URL.
class LocalFileImageDataProvider final : public ImageDataProvider {
public:
    // Without a key the file's `localFileCacheKey` is used. The default queue is the shared
    // concurrent one.
    explicit LocalFileImageDataProvider(QUrl fileURL, std::optional<QString> cacheKey = std::nullopt,
                                        CallbackQueue loadingQueue = defaultLoadingQueue());

    static CallbackQueue defaultLoadingQueue();

    const QUrl& fileURL() const { return m_fileURL; }
    const CallbackQueue& loadingQueue() const { return m_loadingQueue; }
    void setCacheKey(QString cacheKey) { m_cacheKey = std::move(cacheKey); }

    QString cacheKey() const override { return m_cacheKey; }
    void data(DataHandler handler) const override;
    // The file URL.
    std::optional<QUrl> contentURL() const override { return m_fileURL; }

private:
    QUrl m_fileURL;
    CallbackQueue m_loadingQueue;
    QString m_cacheKey;
};

} // namespace Lumen
