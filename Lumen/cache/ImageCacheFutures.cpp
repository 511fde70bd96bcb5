// The image cache's operations as futures: each starts the completion-based operation and
// finishes its future when that completion runs.
#include "Lumen/cache/ImageCache.h"

#include <QPromise>

namespace Lumen {

namespace {

// A promise shared by the completion that fulfils it; completions must be copyable.
template <typename T>
struct SharedPromise {
    SharedPromise() : promise(std::make_shared<QPromise<T>>()) { promise->start(); }

    QFuture<T> future() const { return promise->future(); }

    void fulfil(T value) const
    {
        promise->addResult(std::move(value));
        promise->finish();
    }

    std::shared_ptr<QPromise<T>> promise;
};

template <>
struct SharedPromise<void> {
    SharedPromise() : promise(std::make_shared<QPromise<void>>()) { promise->start(); }

    QFuture<void> future() const { return promise->future(); }
    void fulfil() const { promise->finish(); }

    std::shared_ptr<QPromise<void>> promise;
};

} // namespace

QFuture<std::expected<void, LumenError>> ImageCache::storeAsync(ImagePtr image, std::optional<QByteArray> original,
                                                                const QString& key,
                                                                const LumenParsedOptionsInfo& options, bool toDisk)
{
    SharedPromise<std::expected<void, LumenError>> promise;
    store(std::move(image), std::move(original), key, options, toDisk,
          [promise](CacheStoreResult result) { promise.fulfil(std::move(result.diskCacheResult)); });
    return promise.future();
}

QFuture<std::expected<void, LumenError>> ImageCache::storeAsync(ImagePtr image, std::optional<QByteArray> original,
                                                                const QString& key, const QString& processorIdentifier,
                                                                std::optional<QString> forcedExtension,
                                                                std::shared_ptr<const CacheSerializer> cacheSerializer,
                                                                bool toDisk)
{
    SharedPromise<std::expected<void, LumenError>> promise;
    store(std::move(image), std::move(original), key, processorIdentifier, std::move(forcedExtension),
          std::move(cacheSerializer), toDisk, CallbackQueue::untouch(),
          [promise](CacheStoreResult result) { promise.fulfil(std::move(result.diskCacheResult)); });
    return promise.future();
}

QFuture<std::expected<void, LumenError>> ImageCache::storeToDiskAsync(QByteArray data, const QString& key,
                                                                      const QString& processorIdentifier,
                                                                      std::optional<QString> forcedExtension,
                                                                      std::optional<StorageExpiration> expiration)
{
    SharedPromise<std::expected<void, LumenError>> promise;
    storeToDisk(std::move(data), key, processorIdentifier, std::move(forcedExtension), expiration,
                CallbackQueue::untouch(),
                [promise](CacheStoreResult result) { promise.fulfil(std::move(result.diskCacheResult)); });
    return promise.future();
}

QFuture<std::expected<void, UnderlyingError>> ImageCache::removeImageAsync(const QString& key,
                                                                           const QString& processorIdentifier,
                                                                           std::optional<QString> forcedExtension,
                                                                           bool fromMemory, bool fromDisk)
{
    SharedPromise<std::expected<void, UnderlyingError>> promise;
    removeImageReportingError(key, processorIdentifier, std::move(forcedExtension), fromMemory, fromDisk,
                              CallbackQueue::untouch(), [promise](std::optional<UnderlyingError> error) {
                                  if (error)
                                      promise.fulfil(std::unexpected(std::move(*error)));
                                  else
                                      promise.fulfil({});
                              });
    return promise.future();
}

QFuture<std::expected<ImageCacheResult, LumenError>> ImageCache::retrieveImageAsync(
    const QString& key, const LumenParsedOptionsInfo& options)
{
    SharedPromise<std::expected<ImageCacheResult, LumenError>> promise;
    retrieveImage(key, options, CallbackQueue::mainCurrentOrAsync(),
                  [promise](std::expected<ImageCacheResult, LumenError> result) { promise.fulfil(std::move(result)); });
    return promise.future();
}

QFuture<std::expected<ImageCacheResult, LumenError>> ImageCache::retrieveImageAsync(
    const QString& key, const std::optional<LumenOptionsInfo>& options)
{
    SharedPromise<std::expected<ImageCacheResult, LumenError>> promise;
    retrieveImage(key, options, CallbackQueue::mainCurrentOrAsync(),
                  [promise](std::expected<ImageCacheResult, LumenError> result) { promise.fulfil(std::move(result)); });
    return promise.future();
}

QFuture<std::expected<ImagePtr, LumenError>> ImageCache::retrieveImageInDiskCacheAsync(
    const QString& key, const std::optional<LumenOptionsInfo>& options)
{
    SharedPromise<std::expected<ImagePtr, LumenError>> promise;
    retrieveImageInDiskCache(key, options, CallbackQueue::untouch(),
                             [promise](std::expected<ImagePtr, LumenError> result) { promise.fulfil(std::move(result)); });
    return promise.future();
}

QFuture<void> ImageCache::clearCacheAsync()
{
    SharedPromise<void> promise;
    m_memoryStorage->removeAll();
    clearDiskCache([promise] { promise.fulfil(); });
    return promise.future();
}

QFuture<void> ImageCache::clearDiskCacheAsync()
{
    SharedPromise<void> promise;
    clearDiskCache([promise] { promise.fulfil(); });
    return promise.future();
}

QFuture<void> ImageCache::cleanExpiredCacheAsync()
{
    SharedPromise<void> promise;
    cleanExpiredCache([promise] { promise.fulfil(); });
    return promise.future();
}

QFuture<void> ImageCache::cleanExpiredDiskCacheAsync()
{
    SharedPromise<void> promise;
    cleanExpiredDiskCache([promise] { promise.fulfil(); });
    return promise.future();
}

QFuture<std::expected<std::uint64_t, LumenError>> ImageCache::diskStorageSize()
{
    SharedPromise<std::expected<std::uint64_t, LumenError>> promise;
    calculateDiskStorageSize(
        [promise](std::expected<std::uint64_t, LumenError> size) { promise.fulfil(std::move(size)); });
    return promise.future();
}

} // namespace Lumen
