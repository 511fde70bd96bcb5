#pragma once

#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/cache/CacheStoreResult.h"
#include "Lumen/cache/CacheType.h"
#include "Lumen/cache/DiskStorageBackend.h"
#include "Lumen/cache/DiskStorageConfig.h"
#include "Lumen/cache/FileWorkGate.h"
#include "Lumen/cache/ImageCacheCost.h"
#include "Lumen/cache/ImageCacheResult.h"
#include "Lumen/cache/MemoryStorageBackend.h"
#include "Lumen/cache/StorageClock.h"
#include "Lumen/cache/StorageExpiration.h"
#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/DataWritingOptions.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/LumenError.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/ReservableSerialQueue.h"
#include "Lumen/foundation/UnderlyingError.h"

#include <QByteArray>
#include <QFuture>
#include <QMetaObject>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace Lumen {

// The two-level image cache: decoded images in memory, their serialized bytes on disk, one
// file per entry. An entry is named by a key together with the identifier of the processor
// that made the image (the "computed key": the key alone for the empty identifier, else
// key + "@" + identifier), so one source is cached once per processing.
//
// Memory work runs at once on the caller's thread. Disk writes, reads (unless the options
// ask for a synchronous read), removals and maintenance run in call order on the cache's own
// serial I/O queue, where neighbouring reads run side by side; encoding before a write and
// decoding after a read run on the shared pool. The per-key queries look at the disk on the
// caller's thread. Completions of per-key operations run through the caller's
// `CallbackQueue`; those of whole-layer maintenance always run later on the main queue.
// Every completion runs at most once.
//
// Every operation may be overridden, and where one operation starts another it starts the
// overridable one, except that stores always write as this class's `syncStoreToDisk` does,
// `removeImageAsync` starts this class's removal, and the option-list disk read this class's
// parsed-options one.
//
// Queued work never keeps the cache alive. Its destruction finishes the file work under way
// (a write, a removal, a clearing or a cleaning) and drops what is still queued: no file
// appears or goes after it is gone. A dropped job still answers its caller: a store with
// `diskStorageIsNotReady`, a removal with ECANCELED, a clearing or cleaning as done.
//
// Each cache cleans its expired disk files (then trims to the size limit, when one is set)
// whenever the application stops being active.
class ImageCache : public std::enable_shared_from_this<ImageCache> {
protected:
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using MemoryStorage = MemoryStorageBackend<ImagePtr>;
    using StoreCompletion = std::function<void(CacheStoreResult)>;
    using RetrieveCompletion = std::function<void(std::expected<ImageCacheResult, LumenError>)>;
    using DiskRetrieveCompletion = std::function<void(std::expected<ImagePtr, LumenError>)>;
    // The disk removal's error, exactly as the file system reported it; none on success.
    using RemoveCompletion = std::function<void(std::optional<UnderlyingError>)>;
    using Completion = std::function<void()>;
    using SizeCompletion = std::function<void(std::expected<std::uint64_t, LumenError>)>;

    // A cache over the given storages.
    static std::shared_ptr<ImageCache> make(std::shared_ptr<MemoryStorage> memoryStorage,
                                            std::shared_ptr<DiskStorageBackend> diskStorage);

    // A cache named `name`: memory bounded by a quarter of the physical memory, entries
    // expiring after 300 s; disk files in "com.vantrel.Lumen.ImageCache." + name under
    // `directory` (default: the user's cache location), or where `cachePathBlock` puts it,
    // expiring after 7 days, without a size limit. A directory that cannot be made leaves
    // the disk layer failing every store and lookup. Fails only for an empty name.
    static std::expected<std::shared_ptr<ImageCache>, LumenError> make(
        const QString& name, std::optional<QString> directory = std::nullopt,
        DiskStorageConfig::CachePathBlock cachePathBlock = {}, StorageClock clock = {});
    // The same, failing with `cannotCreateDirectory` as well when the directory cannot be made.
    static std::expected<std::shared_ptr<ImageCache>, LumenError> makePrepared(
        const QString& name, std::optional<QString> directory = std::nullopt,
        DiskStorageConfig::CachePathBlock cachePathBlock = {}, StorageClock clock = {});

    // The process-wide cache named "default", made on first use and never released.
    static const std::shared_ptr<ImageCache>& defaultCache();

    ImageCache(Passkey, std::shared_ptr<MemoryStorage> memoryStorage, std::shared_ptr<DiskStorageBackend> diskStorage);
    virtual ~ImageCache();
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;

    const std::shared_ptr<MemoryStorage>& memoryStorage() const { return m_memoryStorage; }
    const std::shared_ptr<DiskStorageBackend>& diskStorage() const { return m_diskStorage; }
    // "com.vantrel.Lumen.ImageCache.ioQueue." followed by a fresh UUID: unique per cache.
    const QString& ioQueueLabel() const;

    // ---- storing -------------------------------------------------------------------

    // Puts `image` into memory at once under the key of the options' processor (a null image
    // is not kept), then, with `toDisk`, serializes it with the options' serializer (given
    // `original`, the bytes it was decoded from) and writes the bytes on the I/O queue. The
    // completion runs through the options' callback queue after the disk step; a serializer
    // that gives no bytes is the disk failure `cannotSerializeImage`.
    virtual void store(ImagePtr image, std::optional<QByteArray> original, const QString& key,
                       const LumenParsedOptionsInfo& options, bool toDisk, StoreCompletion completionHandler = {});
    // The same with default options except the processor identifier, serializer, callback
    // queue and forced file extension.
    virtual void store(ImagePtr image, std::optional<QByteArray> original, const QString& key,
                       const QString& processorIdentifier = QString(),
                       std::optional<QString> forcedExtension = std::nullopt,
                       std::shared_ptr<const CacheSerializer> cacheSerializer = DefaultCacheSerializer::shared(),
                       bool toDisk = true, CallbackQueue callbackQueue = CallbackQueue::untouch(),
                       StoreCompletion completionHandler = {});
    // Writes `data` unchanged as the entry's file, on the I/O queue; nothing goes to memory.
    virtual void storeToDisk(QByteArray data, const QString& key, const QString& processorIdentifier = QString(),
                             std::optional<QString> forcedExtension = std::nullopt,
                             std::optional<StorageExpiration> expiration = std::nullopt,
                             CallbackQueue callbackQueue = CallbackQueue::untouch(),
                             StoreCompletion completionHandler = {});
    // The disk write of the store operations, on the calling thread: writes `data` as the
    // entry's file at once, then delivers the result through `callbackQueue`. Not ordered with
    // the I/O queue's jobs. The store operations always reach this class's implementation.
    virtual void syncStoreToDisk(const QByteArray& data, const QString& key,
                                 const QString& processorIdentifier = QString(),
                                 const std::optional<QString>& forcedExtension = std::nullopt,
                                 const CallbackQueue& callbackQueue = CallbackQueue::untouch(),
                                 std::optional<StorageExpiration> expiration = std::nullopt,
                                 DataWritingOptions writeOptions = {}, const StoreCompletion& completionHandler = {});

    // ---- removing ------------------------------------------------------------------

    // Removes the entry from memory at once and from disk on the I/O queue; the completion
    // gets the disk removal's error (none without `fromDisk`).
    virtual void removeImage(const QString& key, const QString& processorIdentifier,
                             std::optional<QString> forcedExtension, bool fromMemory, bool fromDisk,
                             CallbackQueue callbackQueue, RemoveCompletion completionHandler);
    // The same, ignoring the error.
    virtual void removeImage(const QString& key, const QString& processorIdentifier = QString(),
                             std::optional<QString> forcedExtension = std::nullopt, bool fromMemory = true,
                             bool fromDisk = true, CallbackQueue callbackQueue = CallbackQueue::untouch(),
                             Completion completionHandler = {});

    // ---- retrieving ----------------------------------------------------------------

    // `memory(image)` from memory at once; otherwise, unless `fromMemoryCacheOrRefresh`,
    // the disk lookup: a hit is put into memory before it is answered as `disk(image)`.
    // Without a completion nothing happens at all.
    virtual void retrieveImage(const QString& key, const LumenParsedOptionsInfo& options,
                               CallbackQueue callbackQueue = CallbackQueue::mainCurrentOrAsync(),
                               RetrieveCompletion completionHandler = {});
    virtual void retrieveImage(const QString& key, const std::optional<LumenOptionsInfo>& options,
                               CallbackQueue callbackQueue = CallbackQueue::mainCurrentOrAsync(),
                               RetrieveCompletion completionHandler = {});

    // The memory entry, its life extended as the options say; null when absent.
    virtual ImagePtr retrieveImageInMemoryCache(const QString& key, const LumenParsedOptionsInfo& options);
    virtual ImagePtr retrieveImageInMemoryCache(const QString& key, const std::optional<LumenOptionsInfo>& options);

    // The disk entry decoded by the options' serializer (null for a miss or undecodable
    // bytes), read on the I/O queue, or on the caller's thread before this returns when
    // `loadDiskFileSynchronously` is set. Memory is neither read nor filled.
    virtual void retrieveImageInDiskCache(const QString& key, const LumenParsedOptionsInfo& options,
                                          CallbackQueue callbackQueue, DiskRetrieveCompletion completionHandler);
    virtual void retrieveImageInDiskCache(const QString& key, const std::optional<LumenOptionsInfo>& options,
                                          CallbackQueue callbackQueue, DiskRetrieveCompletion completionHandler);

    // ---- per-key queries, at once on the caller's thread; none extends a life ----------

    // `memory` when memory holds the entry, `disk` when only an unexpired file does.
    virtual CacheType imageCachedType(const QString& key, const QString& processorIdentifier = QString(),
                                      const std::optional<QString>& forcedExtension = std::nullopt);
    virtual bool isCached(const QString& key, const QString& processorIdentifier = QString(),
                          const std::optional<QString>& forcedExtension = std::nullopt);
    // The entry's file name; none when the key cannot name a file.
    virtual std::optional<QString> hash(const QString& key, const QString& processorIdentifier = QString(),
                                        const std::optional<QString>& forcedExtension = std::nullopt);
    // The entry's file path, whether or not the file exists; none when the key cannot name a file.
    virtual std::optional<QString> cachePath(const QString& key, const QString& processorIdentifier = QString(),
                                             const std::optional<QString>& forcedExtension = std::nullopt);
    // The entry's file when it exists and has not expired.
    virtual std::optional<QUrl> cachedFileURL(const QString& key, const QString& processorIdentifier = QString(),
                                              const std::optional<QString>& forcedExtension = std::nullopt);

    // ---- whole layers ----------------------------------------------------------------

    // Memory at once, then the disk as `clearDiskCache`.
    virtual void clearCache(Completion completionHandler = {});
    virtual void clearMemoryCache();
    // Removes the cache directory and makes it anew on the I/O queue; a failure is not
    // reported. The completion runs on the main queue.
    virtual void clearDiskCache(Completion completionHandler = {});
    // Expired memory entries at once, then the disk as `cleanExpiredDiskCache`.
    virtual void cleanExpiredCache(Completion completionHandler = {});
    virtual void cleanExpiredMemoryCache();
    // Removes the expired files, then files beyond the size limit, on the I/O queue. When
    // any file went and neither pass failed, `LumenNotifications::lumenDidCleanDiskCache`
    // names them on the main queue; the completion runs on the main queue after it.
    virtual void cleanExpiredDiskCache(Completion completionHandler = {});
    // The total size of the disk layer in bytes, measured on the I/O queue; the completion
    // runs on the main queue.
    virtual void calculateDiskStorageSize(SizeCompletion completionHandler);

    // ---- the same operations as futures ---------------------------------------------
    // Each finishes when the operation's completion runs; each starts the overridable
    // operation it stands for, except the removal, which always starts this class's own. The results of per-key
    // operations arrive through the callback queue named below; the maintenance forms
    // finish on the main queue, so the GUI thread must not block waiting for them.

    // Through the options' callback queue; the disk step's outcome.
    virtual QFuture<std::expected<void, LumenError>> storeAsync(ImagePtr image, std::optional<QByteArray> original,
                                                                const QString& key,
                                                                const LumenParsedOptionsInfo& options,
                                                                bool toDisk = true);
    // Through `untouch`.
    virtual QFuture<std::expected<void, LumenError>> storeAsync(
        ImagePtr image, std::optional<QByteArray> original, const QString& key, const QString& processorIdentifier,
        std::optional<QString> forcedExtension, std::shared_ptr<const CacheSerializer> cacheSerializer,
        bool toDisk = true);
    virtual QFuture<std::expected<void, LumenError>> storeToDiskAsync(
        QByteArray data, const QString& key, const QString& processorIdentifier = QString(),
        std::optional<QString> forcedExtension = std::nullopt,
        std::optional<StorageExpiration> expiration = std::nullopt);
    virtual QFuture<std::expected<void, UnderlyingError>> removeImageAsync(
        const QString& key, const QString& processorIdentifier = QString(),
        std::optional<QString> forcedExtension = std::nullopt, bool fromMemory = true, bool fromDisk = true);
    // Through `mainCurrentOrAsync`.
    virtual QFuture<std::expected<ImageCacheResult, LumenError>> retrieveImageAsync(
        const QString& key, const LumenParsedOptionsInfo& options);
    virtual QFuture<std::expected<ImageCacheResult, LumenError>> retrieveImageAsync(
        const QString& key, const std::optional<LumenOptionsInfo>& options = std::nullopt);
    // Through `untouch`.
    virtual QFuture<std::expected<ImagePtr, LumenError>> retrieveImageInDiskCacheAsync(
        const QString& key, const std::optional<LumenOptionsInfo>& options = std::nullopt);
    virtual QFuture<void> clearCacheAsync();
    virtual QFuture<void> clearDiskCacheAsync();
    virtual QFuture<void> cleanExpiredCacheAsync();
    virtual QFuture<void> cleanExpiredDiskCacheAsync();
    virtual QFuture<std::expected<std::uint64_t, LumenError>> diskStorageSize();

private:
    // Lets the application's signal reach a cache that may be destroyed on another thread
    // meanwhile: the cache forgets itself here before anything of it goes.
    struct ActivityRegistration {
        explicit ActivityRegistration(ImageCache* cache) : m_cache(cache) {}

        // The cache while its owners hold it.
        std::shared_ptr<ImageCache> cache()
        {
            std::lock_guard lock(m_mutex);
            return m_cache ? m_cache->weak_from_this().lock() : nullptr;
        }

        void forget()
        {
            std::lock_guard lock(m_mutex);
            m_cache = nullptr;
        }

    private:
        std::mutex m_mutex;
        ImageCache* m_cache;
    };

    void removeImageReportingError(const QString& key, const QString& processorIdentifier,
                                   std::optional<QString> forcedExtension, bool fromMemory, bool fromDisk,
                                   CallbackQueue callbackQueue, RemoveCompletion completionHandler);
    void loadFromDisk(const QString& key, const LumenParsedOptionsInfo& options, CallbackQueue callbackQueue,
                      DiskRetrieveCompletion completionHandler);

    // The memory layer of a named cache over `diskStorage`.
    static std::shared_ptr<ImageCache> makeNamed(std::shared_ptr<DiskStorageBackend> diskStorage,
                                                 const StorageClock& clock);
    static DiskStorageConfig namedDiskConfig(const QString& name, std::optional<QString> directory,
                                             DiskStorageConfig::CachePathBlock cachePathBlock);
    // Cleans the disk (through the overridable `cleanExpiredDiskCache`) whenever the
    // application stops being active, for every cache however it was made, also one made
    // before the application object.
    void observeApplicationActivity();

    const std::shared_ptr<MemoryStorage> m_memoryStorage;
    const std::shared_ptr<DiskStorageBackend> m_diskStorage;
    // File operations in call order; a store takes its turn at the call and fills it once its
    // bytes are encoded on the pool.
    const std::shared_ptr<ReservableSerialQueue> m_ioQueue;
    const std::shared_ptr<ActivityRegistration> m_activity;
    QMetaObject::Connection m_activityConnection;
    // Shared with the queued file work, which holds the storage but not the cache.
    const std::shared_ptr<FileWorkGate> m_fileWork = std::make_shared<FileWorkGate>();
};

} // namespace Lumen
