#include "Lumen/cache/ImageCache.h"

#include "Lumen/cache/LumenNotifications.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/LumenWrapper.h"

#include <QDir>
#include <QStandardPaths>
#include <QUuid>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <limits>

#include <unistd.h>

namespace Lumen {

namespace {

constexpr char emptyNameMessage[] =
    "[Lumen] You should specify a name for the cache. A cache with empty name is not permitted.";

// Carries a bare identifier into an option record; it never processes anything.
class IdentifierOnlyProcessor final : public ImageProcessor {
public:
    explicit IdentifierOnlyProcessor(QString identifier) : m_identifier(std::move(identifier)) {}

    QString identifier() const override { return m_identifier; }
    ImagePtr process(const ImageProcessItem&, const LumenParsedOptionsInfo&) const override { return nullptr; }

private:
    QString m_identifier;
};

QString computedKey(const QString& key, const QString& processorIdentifier)
{
    if (processorIdentifier.isEmpty())
        return key;
    return key + QLatin1Char('@') + processorIdentifier;
}

QString processorIdentifier(const LumenParsedOptionsInfo& options)
{
    return options.processor ? options.processor->identifier() : QString();
}

std::int64_t physicalMemory()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    const std::uint64_t bytes = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    return static_cast<std::int64_t>(std::min<std::uint64_t>(bytes, std::numeric_limits<std::int64_t>::max()));
}

MemoryStorageConfig namedMemoryConfig()
{
    constexpr std::int64_t fallbackLimit = std::int64_t{1} << 30;
    const std::int64_t memory = physicalMemory();
    MemoryStorageConfig config(memory > 0 ? memory / 4 : fallbackLimit / 4, std::chrono::seconds(120));
    config.expiration = StorageExpiration::seconds(300.0);
    return config;
}

// Decodes the bytes a disk lookup found with the options' serializer and answers the image
// (null for a miss or undecodable bytes), or the lookup's error.
void answerDiskLookup(std::expected<std::optional<QByteArray>, LumenError> found,
                      const LumenParsedOptionsInfo& options, const CallbackQueue& callbackQueue,
                      const ImageCache::DiskRetrieveCompletion& completionHandler)
{
    if (!found) {
        callbackQueue.execute([completionHandler, error = std::move(found).error()] {
            if (completionHandler)
                completionHandler(std::unexpected(error));
        });
        return;
    }
    ImagePtr image;
    if (*found) {
        const auto& serializer = options.cacheSerializer ? options.cacheSerializer : DefaultCacheSerializer::shared();
        image = serializer->image(**found, options);
    }
    if (image && options.backgroundDecode)
        image = lm(image).decoded(options.scaleFactor);
    callbackQueue.execute([completionHandler, image = std::move(image)] {
        if (completionHandler)
            completionHandler(image);
    });
}

void deliverStored(std::expected<void, LumenError> stored, const CallbackQueue& callbackQueue,
                   const ImageCache::StoreCompletion& completionHandler)
{
    if (!completionHandler)
        return;
    callbackQueue.execute([completionHandler, stored = std::move(stored)] { completionHandler(CacheStoreResult{stored}); });
}

// What a store dropped because its cache is gone answers.
LumenError storageGone(const DiskStorageBackend& diskStorage)
{
    return LumenError::CacheErrorReason::DiskStorageIsNotReady{diskStorage.directoryURL()};
}

// A store's disk write from the I/O queue, as `syncStoreToDisk` writes; once the cache is
// gone, nothing is written and the store answers that the storage is not ready.
void writeQueued(FileWorkGate& fileWork, DiskStorageBackend& diskStorage, const QByteArray& data, const QString& key,
                 const QString& processorIdentifier, const std::optional<QString>& forcedExtension,
                 const CallbackQueue& callbackQueue, std::optional<StorageExpiration> expiration,
                 DataWritingOptions writeOptions, const ImageCache::StoreCompletion& completionHandler)
{
    std::expected<void, LumenError> stored = std::unexpected(storageGone(diskStorage));
    fileWork.runUnlessClosed([&] {
        stored = diskStorage.store(data, computedKey(key, processorIdentifier), expiration, writeOptions, forcedExtension);
    });
    deliverStored(std::move(stored), callbackQueue, completionHandler);
}

LumenError emptyNameError(const std::optional<QString>& directory)
{
    const QString root = directory.value_or(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation));
    return LumenError::CacheErrorReason::CannotCreateDirectory{
        QDir::cleanPath(root + QStringLiteral("/com.vantrel.Lumen.ImageCache.")),
        UnderlyingError(QString::fromLatin1(FileManager::errorDomain), EINVAL, QString::fromLatin1(emptyNameMessage))};
}

} // namespace

// ---- construction ----------------------------------------------------------------------

ImageCache::ImageCache(Passkey, std::shared_ptr<MemoryStorage> memoryStorage,
                       std::shared_ptr<DiskStorageBackend> diskStorage)
    : m_memoryStorage(std::move(memoryStorage)),
      m_diskStorage(std::move(diskStorage)),
      m_ioQueue(ReservableSerialQueue::make(QStringLiteral("com.vantrel.Lumen.ImageCache.ioQueue.")
                                            + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())),
      m_activity(std::make_shared<ActivityRegistration>(this))
{
    observeApplicationActivity();
}

ImageCache::~ImageCache()
{
    m_activity->forget();
    QObject::disconnect(m_activityConnection);
    m_fileWork->close();
}

std::shared_ptr<ImageCache> ImageCache::make(std::shared_ptr<MemoryStorage> memoryStorage,
                                             std::shared_ptr<DiskStorageBackend> diskStorage)
{
    return std::make_shared<ImageCache>(Passkey{}, std::move(memoryStorage), std::move(diskStorage));
}

DiskStorageConfig ImageCache::namedDiskConfig(const QString& name, std::optional<QString> directory,
                                              DiskStorageConfig::CachePathBlock cachePathBlock)
{
    DiskStorageConfig config(name, 0, FileManager::standard(), std::move(directory));
    if (cachePathBlock)
        config.cachePathBlock = std::move(cachePathBlock);
    return config;
}

std::shared_ptr<ImageCache> ImageCache::makeNamed(std::shared_ptr<DiskStorageBackend> diskStorage,
                                                  const StorageClock& clock)
{
    return make(MemoryStorage::make(namedMemoryConfig(), clock), std::move(diskStorage));
}

std::expected<std::shared_ptr<ImageCache>, LumenError> ImageCache::make(
    const QString& name, std::optional<QString> directory, DiskStorageConfig::CachePathBlock cachePathBlock,
    StorageClock clock)
{
    if (name.isEmpty())
        return std::unexpected(emptyNameError(directory));
    auto disk = DiskStorageBackend::make(namedDiskConfig(name, std::move(directory), std::move(cachePathBlock)), true,
                                         clock);
    return makeNamed(std::move(disk), clock);
}

std::expected<std::shared_ptr<ImageCache>, LumenError> ImageCache::makePrepared(
    const QString& name, std::optional<QString> directory, DiskStorageConfig::CachePathBlock cachePathBlock,
    StorageClock clock)
{
    if (name.isEmpty())
        return std::unexpected(emptyNameError(directory));
    auto disk = DiskStorageBackend::makePrepared(
        namedDiskConfig(name, std::move(directory), std::move(cachePathBlock)), clock);
    if (!disk)
        return std::unexpected(std::move(disk).error());
    return makeNamed(std::move(*disk), clock);
}

const std::shared_ptr<ImageCache>& ImageCache::defaultCache()
{
    static const std::shared_ptr<ImageCache> cache = [] {
        const QString name = QStringLiteral("default");
        const StorageClock clock;
        return makeNamed(DiskStorageBackend::make(namedDiskConfig(name, std::nullopt, {}), true, clock), clock);
    }();
    return cache;
}

const QString& ImageCache::ioQueueLabel() const
{
    return m_ioQueue->label();
}

// ---- storing ---------------------------------------------------------------------------

void ImageCache::store(ImagePtr image, std::optional<QByteArray> original, const QString& key,
                       const LumenParsedOptionsInfo& options, bool toDisk, StoreCompletion completionHandler)
{
    const QString identifier = processorIdentifier(options);
    // A null image would read back as a hit that holds nothing.
    if (image)
        m_memoryStorage->store(image, computedKey(key, identifier), options.memoryCacheExpiration);

    if (!toDisk) {
        if (completionHandler)
            options.callbackQueue.execute([completionHandler] { completionHandler(CacheStoreResult{}); });
        return;
    }

    // The write keeps the place of this call among the file operations while the encoding,
    // the costly part, runs on the pool beside other stores.
    DispatchQueue::global()->async([diskStorage = m_diskStorage, fileWork = m_fileWork, turn = m_ioQueue->reserve(),
                                    image = std::move(image), original = std::move(original), key, identifier, options,
                                    completionHandler = std::move(completionHandler)]() mutable {
        // A cache gone meanwhile writes nothing, so nothing needs encoding.
        if (fileWork->isClosed()) {
            deliverStored(std::unexpected(storageGone(*diskStorage)), options.callbackQueue, completionHandler);
            return;
        }
        const auto& serializer = options.cacheSerializer ? options.cacheSerializer : DefaultCacheSerializer::shared();
        std::optional<QByteArray> bytes = serializer->data(image, original);
        std::move(turn).fill([diskStorage, fileWork, bytes = std::move(bytes), image, original, key, identifier, options,
                              serializer, completionHandler] {
            if (bytes) {
                writeQueued(*fileWork, *diskStorage, *bytes, key, identifier, options.forcedExtension,
                            options.callbackQueue, options.diskCacheExpiration, options.diskStoreWriteOptions,
                            completionHandler);
                return;
            }
            if (!completionHandler)
                return;
            LumenError error = LumenError::CacheErrorReason::CannotSerializeImage{image, original, serializer};
            options.callbackQueue.execute([completionHandler, error = std::move(error)] {
                completionHandler(CacheStoreResult{std::unexpected(error)});
            });
        });
    });
}

void ImageCache::store(ImagePtr image, std::optional<QByteArray> original, const QString& key,
                       const QString& processorIdentifier, std::optional<QString> forcedExtension,
                       std::shared_ptr<const CacheSerializer> cacheSerializer, bool toDisk,
                       CallbackQueue callbackQueue, StoreCompletion completionHandler)
{
    const LumenParsedOptionsInfo options(LumenOptionsInfo{
        Option::Processor{std::make_shared<const IdentifierOnlyProcessor>(processorIdentifier)},
        Option::CacheSerializer{std::move(cacheSerializer)},
        Option::CallbackQueue{std::move(callbackQueue)},
        Option::ForcedCacheFileExtension{std::move(forcedExtension)},
    });
    store(std::move(image), std::move(original), key, options, toDisk, std::move(completionHandler));
}

void ImageCache::storeToDisk(QByteArray data, const QString& key, const QString& processorIdentifier,
                             std::optional<QString> forcedExtension, std::optional<StorageExpiration> expiration,
                             CallbackQueue callbackQueue, StoreCompletion completionHandler)
{
    m_ioQueue->async([diskStorage = m_diskStorage, fileWork = m_fileWork, data = std::move(data), key,
                      processorIdentifier, forcedExtension = std::move(forcedExtension), expiration,
                      callbackQueue = std::move(callbackQueue), completionHandler = std::move(completionHandler)] {
        writeQueued(*fileWork, *diskStorage, data, key, processorIdentifier, forcedExtension, callbackQueue, expiration,
                    {}, completionHandler);
    });
}

void ImageCache::syncStoreToDisk(const QByteArray& data, const QString& key, const QString& processorIdentifier,
                                 const std::optional<QString>& forcedExtension, const CallbackQueue& callbackQueue,
                                 std::optional<StorageExpiration> expiration, DataWritingOptions writeOptions,
                                 const StoreCompletion& completionHandler)
{
    deliverStored(m_diskStorage->store(data, computedKey(key, processorIdentifier), expiration, writeOptions,
                                       forcedExtension),
                  callbackQueue, completionHandler);
}

// ---- removing --------------------------------------------------------------------------

void ImageCache::removeImage(const QString& key, const QString& processorIdentifier,
                             std::optional<QString> forcedExtension, bool fromMemory, bool fromDisk,
                             CallbackQueue callbackQueue, RemoveCompletion completionHandler)
{
    removeImageReportingError(key, processorIdentifier, std::move(forcedExtension), fromMemory, fromDisk,
                              std::move(callbackQueue), std::move(completionHandler));
}

void ImageCache::removeImage(const QString& key, const QString& processorIdentifier,
                             std::optional<QString> forcedExtension, bool fromMemory, bool fromDisk,
                             CallbackQueue callbackQueue, Completion completionHandler)
{
    RemoveCompletion ignoringError;
    if (completionHandler)
        ignoringError = [completionHandler = std::move(completionHandler)](const std::optional<UnderlyingError>&) {
            completionHandler();
        };
    removeImageReportingError(key, processorIdentifier, std::move(forcedExtension), fromMemory, fromDisk,
                              std::move(callbackQueue), std::move(ignoringError));
}

void ImageCache::removeImageReportingError(const QString& key, const QString& processorIdentifier,
                                           std::optional<QString> forcedExtension, bool fromMemory, bool fromDisk,
                                           CallbackQueue callbackQueue, RemoveCompletion completionHandler)
{
    const QString storageKey = computedKey(key, processorIdentifier);
    if (fromMemory)
        m_memoryStorage->remove(storageKey);

    if (!fromDisk) {
        if (completionHandler)
            callbackQueue.execute([completionHandler] { completionHandler(std::nullopt); });
        return;
    }
    m_ioQueue->async([diskStorage = m_diskStorage, fileWork = m_fileWork, storageKey,
                      forcedExtension = std::move(forcedExtension), callbackQueue = std::move(callbackQueue),
                      completionHandler = std::move(completionHandler)] {
        std::optional<UnderlyingError> error;
        const bool ran = fileWork->runUnlessClosed([&] {
            if (auto removed = diskStorage->remove(storageKey, forcedExtension); !removed)
                error = std::move(removed).error();
        });
        if (!completionHandler)
            return;
        if (!ran)
            error = UnderlyingError(QString::fromLatin1(FileManager::errorDomain), ECANCELED,
                                    QStringLiteral("The cache was released before the removal ran"));
        callbackQueue.execute([completionHandler, error] { completionHandler(error); });
    });
}

// ---- retrieving ------------------------------------------------------------------------

void ImageCache::retrieveImage(const QString& key, const LumenParsedOptionsInfo& options,
                               CallbackQueue callbackQueue, RetrieveCompletion completionHandler)
{
    if (!completionHandler)
        return;

    if (ImagePtr image = retrieveImageInMemoryCache(key, options)) {
        callbackQueue.execute([completionHandler, image = std::move(image)] {
            completionHandler(ImageCacheResult::memory(image));
        });
        return;
    }
    if (options.fromMemoryCacheOrRefresh) {
        callbackQueue.execute([completionHandler] { completionHandler(ImageCacheResult::none()); });
        return;
    }

    // The disk answer passes through the callback queue twice: once from the lookup, once
    // as the final answer, with the promotion into memory in between.
    loadFromDisk(key, options, callbackQueue,
                 [self = shared_from_this(), key, options, callbackQueue,
                  completionHandler](std::expected<ImagePtr, LumenError> loaded) {
                     if (!loaded) {
                         callbackQueue.execute([completionHandler, error = std::move(loaded).error()] {
                             completionHandler(std::unexpected(error));
                         });
                         return;
                     }
                     ImagePtr image = std::move(*loaded);
                     if (!image) {
                         callbackQueue.execute([completionHandler] { completionHandler(ImageCacheResult::none()); });
                         return;
                     }
                     LumenParsedOptionsInfo promoting = options;
                     promoting.callbackQueue = CallbackQueue::untouch();
                     self->store(image, std::nullopt, key, promoting, false,
                                 [callbackQueue, completionHandler, image](const CacheStoreResult&) {
                                     callbackQueue.execute([completionHandler, image] {
                                         completionHandler(ImageCacheResult::disk(image));
                                     });
                                 });
                 });
}

void ImageCache::retrieveImage(const QString& key, const std::optional<LumenOptionsInfo>& options,
                               CallbackQueue callbackQueue, RetrieveCompletion completionHandler)
{
    retrieveImage(key, LumenParsedOptionsInfo(options), std::move(callbackQueue), std::move(completionHandler));
}

ImagePtr ImageCache::retrieveImageInMemoryCache(const QString& key, const LumenParsedOptionsInfo& options)
{
    return m_memoryStorage
        ->value(computedKey(key, processorIdentifier(options)), options.memoryCacheAccessExtendingExpiration)
        .value_or(nullptr);
}

ImagePtr ImageCache::retrieveImageInMemoryCache(const QString& key, const std::optional<LumenOptionsInfo>& options)
{
    return retrieveImageInMemoryCache(key, LumenParsedOptionsInfo(options));
}

void ImageCache::retrieveImageInDiskCache(const QString& key, const LumenParsedOptionsInfo& options,
                                          CallbackQueue callbackQueue, DiskRetrieveCompletion completionHandler)
{
    loadFromDisk(key, options, std::move(callbackQueue), std::move(completionHandler));
}

void ImageCache::retrieveImageInDiskCache(const QString& key, const std::optional<LumenOptionsInfo>& options,
                                          CallbackQueue callbackQueue, DiskRetrieveCompletion completionHandler)
{
    loadFromDisk(key, LumenParsedOptionsInfo(options), std::move(callbackQueue), std::move(completionHandler));
}

void ImageCache::loadFromDisk(const QString& key, const LumenParsedOptionsInfo& options, CallbackQueue callbackQueue,
                              DiskRetrieveCompletion completionHandler)
{
    const QString storageKey = computedKey(key, processorIdentifier(options));
    if (options.loadDiskFileSynchronously) {
        answerDiskLookup(m_diskStorage->value(storageKey, options.forcedExtension,
                                              options.diskCacheAccessExtendingExpiration),
                         options, callbackQueue, completionHandler);
        return;
    }
    // Reads of the disk run side by side, in their place among the writes and removals;
    // decoding leaves the I/O queue to the next file operation.
    m_ioQueue->asyncReading([diskStorage = m_diskStorage, storageKey, options, callbackQueue = std::move(callbackQueue),
                             completionHandler = std::move(completionHandler)]() mutable -> DispatchBlock {
        auto found = diskStorage->value(storageKey, options.forcedExtension, options.diskCacheAccessExtendingExpiration);
        return [found = std::move(found), options = std::move(options), callbackQueue = std::move(callbackQueue),
                completionHandler = std::move(completionHandler)]() mutable {
            answerDiskLookup(std::move(found), options, callbackQueue, completionHandler);
        };
    });
}

// ---- per-key queries -------------------------------------------------------------------

CacheType ImageCache::imageCachedType(const QString& key, const QString& processorIdentifier,
                                      const std::optional<QString>& forcedExtension)
{
    const QString storageKey = computedKey(key, processorIdentifier);
    if (m_memoryStorage->isCached(storageKey))
        return CacheType::memory;
    if (m_diskStorage->isCached(storageKey, forcedExtension))
        return CacheType::disk;
    return CacheType::none;
}

bool ImageCache::isCached(const QString& key, const QString& processorIdentifier,
                          const std::optional<QString>& forcedExtension)
{
    return Lumen::isCached(imageCachedType(key, processorIdentifier, forcedExtension));
}

std::optional<QString> ImageCache::hash(const QString& key, const QString& processorIdentifier,
                                        const std::optional<QString>& forcedExtension)
{
    return m_diskStorage->cacheFileName(computedKey(key, processorIdentifier), forcedExtension);
}

std::optional<QString> ImageCache::cachePath(const QString& key, const QString& processorIdentifier,
                                             const std::optional<QString>& forcedExtension)
{
    return m_diskStorage->cacheFilePath(computedKey(key, processorIdentifier), forcedExtension);
}

std::optional<QUrl> ImageCache::cachedFileURL(const QString& key, const QString& processorIdentifier,
                                              const std::optional<QString>& forcedExtension)
{
    const QString storageKey = computedKey(key, processorIdentifier);
    if (!m_diskStorage->isCached(storageKey, forcedExtension))
        return std::nullopt;
    return m_diskStorage->cacheFileURL(storageKey, forcedExtension);
}

} // namespace Lumen
