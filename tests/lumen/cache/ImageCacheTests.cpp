#include "ImageCacheTestSupport.h"

#include "Lumen/cache/ImageCacheCost.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unordered_set>

namespace {

using namespace Lumen;
using namespace Lumen::Testing;

const QString iconKey = QStringLiteral("https://example.com/icons/app.png");
const QString resized = QStringLiteral("com.vantrel.Lumen.ResizingImageProcessor(100.0x100.0)");

// Serializes nothing, so every disk step fails.
class MuteSerializer final : public CacheSerializer {
public:
    std::optional<QByteArray> data(const ImagePtr&, const std::optional<QByteArray>&) const override
    {
        return std::nullopt;
    }
    ImagePtr image(const QByteArray&, const LumenParsedOptionsInfo&) const override { return nullptr; }
    bool usesOriginalData() const override { return false; }
};

// Names a processing without doing any.
class NamedProcessor final : public ImageProcessor {
public:
    explicit NamedProcessor(QString identifier) : m_identifier(std::move(identifier)) {}
    QString identifier() const override { return m_identifier; }
    ImagePtr process(const ImageProcessItem&, const LumenParsedOptionsInfo&) const override { return nullptr; }

private:
    QString m_identifier;
};

LumenParsedOptionsInfo untouchedOptions(LumenOptionsInfo items = {})
{
    items.push_back(Option::CallbackQueue{CallbackQueue::untouch()});
    return LumenParsedOptionsInfo(items);
}

using Retrieved = std::expected<ImageCacheResult, LumenError>;

Retrieved retrieve(ImageCache& cache, const QString& key, const LumenParsedOptionsInfo& options)
{
    Captured<Retrieved> result;
    cache.retrieveImage(key, options, CallbackQueue::untouch(), [&result](Retrieved answer) { result.set(answer); });
    return result.wait();
}

CacheStoreResult storeAndWait(ImageCache& cache, const ImagePtr& image, const QString& key,
                              const LumenParsedOptionsInfo& options, std::optional<QByteArray> original = std::nullopt)
{
    Captured<CacheStoreResult> result;
    cache.store(image, std::move(original), key, options, true,
                [&result](CacheStoreResult stored) { result.set(std::move(stored)); });
    return result.wait();
}

TEST_F(ImageCacheTest, NamedCachesShareTheirFolderButNotTheirQueue)
{
    const auto first = makeCache();
    const auto second = makeCache();
    const QString folder = root.path() + QStringLiteral("/com.vantrel.Lumen.ImageCache.test");
    EXPECT_EQ(first->diskStorage()->directoryPath(), folder);
    EXPECT_EQ(second->diskStorage()->directoryPath(), folder);
    EXPECT_TRUE(QDir(folder).exists());

    EXPECT_TRUE(first->ioQueueLabel().startsWith(QStringLiteral("com.vantrel.Lumen.ImageCache.ioQueue.")));
    EXPECT_NE(first->ioQueueLabel(), second->ioQueueLabel());

    const MemoryStorageConfig memory = first->memoryStorage()->config();
    EXPECT_GT(memory.totalCostLimit, 0);
    EXPECT_EQ(memory.expiration, StorageExpiration::seconds(300));
    EXPECT_EQ(memory.cleanInterval, std::chrono::duration<double>(120));
    const DiskStorageConfig disk = first->diskStorage()->config();
    EXPECT_EQ(disk.sizeLimit, 0U);
    EXPECT_EQ(disk.expiration, StorageExpiration::days(7));
}

TEST_F(ImageCacheTest, PathFunctionPlacesTheFolder)
{
    const auto cache = ImageCache::make(QStringLiteral("test"), root.path(), [](const QString& base, const QString& name) {
        return base + QStringLiteral("/nested/") + name;
    });
    ASSERT_TRUE(cache.has_value());
    EXPECT_EQ((*cache)->diskStorage()->directoryPath(),
              root.path() + QStringLiteral("/nested/com.vantrel.Lumen.ImageCache.test"));
}

TEST_F(ImageCacheTest, EmptyNameIsRefused)
{
    for (const auto& made : {ImageCache::make(QString(), root.path()), ImageCache::makePrepared(QString(), root.path())}) {
        ASSERT_FALSE(made.has_value());
        EXPECT_EQ(made.error().errorCode(), 3005);
        const auto* reason = made.error().reasonAs<LumenError::CacheErrorReason::CannotCreateDirectory>();
        ASSERT_NE(reason, nullptr);
        EXPECT_TRUE(reason->error.message().contains(QStringLiteral("A cache with empty name is not permitted.")));
    }
}

TEST_F(ImageCacheTest, UnusableDirectory)
{
    QFile blocker(root.path() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString underAFile = blocker.fileName();

    const auto prepared = ImageCache::makePrepared(QStringLiteral("test"), underAFile);
    ASSERT_FALSE(prepared.has_value());
    EXPECT_EQ(prepared.error().errorCode(), 3005);

    // The cache that cannot fail still works in memory and reports every disk step.
    const auto cache = ImageCache::make(QStringLiteral("test"), underAFile);
    ASSERT_TRUE(cache.has_value());
    const ImagePtr image = bitmapImage();
    const CacheStoreResult stored = storeAndWait(**cache, image, iconKey, untouchedOptions());
    ASSERT_FALSE(stored.diskCacheResult.has_value());
    EXPECT_EQ(stored.diskCacheResult.error().errorCode(), 3011);
    EXPECT_EQ((*cache)->retrieveImageInMemoryCache(iconKey, untouchedOptions()), image);
}

TEST_F(ImageCacheTest, DefaultCacheLivesInTheUserCacheFolder)
{
    const auto& cache = ImageCache::defaultCache();
    ASSERT_NE(cache, nullptr);
    EXPECT_EQ(cache, ImageCache::defaultCache());
    EXPECT_EQ(cache->diskStorage()->directoryPath(),
              QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
                  + QStringLiteral("/com.vantrel.Lumen.ImageCache.default"));
}

TEST_F(ImageCacheTest, KeyAndProcessorIdentifierNameSeparateEntries)
{
    const auto cache = makeCache();
    const ImagePtr plain = bitmapImage(QSize(4, 4), Qt::red);
    const ImagePtr processed = bitmapImage(QSize(2, 2), Qt::blue);
    cache->store(plain, std::nullopt, iconKey);
    cache->store(processed, std::nullopt, iconKey, resized);
    drainIO(*cache);

    EXPECT_NE(cache->hash(iconKey), cache->hash(iconKey, resized));
    EXPECT_EQ(cache->hash(iconKey, resized), cache->hash(iconKey + QLatin1Char('@') + resized));
    EXPECT_TRUE(QFile::exists(*cache->cachePath(iconKey)));
    EXPECT_TRUE(QFile::exists(*cache->cachePath(iconKey, resized)));

    cache->removeImage(iconKey, resized);
    drainIO(*cache);
    EXPECT_EQ(cache->imageCachedType(iconKey, resized), CacheType::none);
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::memory);
    EXPECT_TRUE(QFile::exists(*cache->cachePath(iconKey)));

    // Reading the survivor back from disk gives the unprocessed one.
    cache->clearMemoryCache();
    const Retrieved found = retrieve(*cache, iconKey, untouchedOptions());
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->cacheType(), CacheType::disk);
    EXPECT_EQ(found->image()->pixelSize(), QSize(4, 4));
}

TEST_F(ImageCacheTest, StoreKeepsMemoryAtOnceAndReportsTheDiskStep)
{
    const auto cache = makeCache();
    const ImagePtr image = bitmapImage();

    Captured<CacheStoreResult> stored;
    cache->store(image, std::nullopt, iconKey, untouchedOptions(), true,
                 [&stored](CacheStoreResult result) { stored.set(std::move(result)); });
    EXPECT_EQ(cache->retrieveImageInMemoryCache(iconKey, untouchedOptions()), image);
    EXPECT_TRUE(stored.wait().diskCacheResult.has_value());
    EXPECT_FALSE(stored.onMainThread());
    EXPECT_TRUE(QFile::exists(*cache->cachePath(iconKey)));

    // Memory only: no file, and no call without a completion.
    const QString other = QStringLiteral("memory-only");
    cache->store(image, std::nullopt, other, untouchedOptions(), false);
    drainIO(*cache);
    EXPECT_EQ(cache->imageCachedType(other), CacheType::memory);
    EXPECT_FALSE(QFile::exists(*cache->cachePath(other)));
}

TEST_F(ImageCacheTest, SerializerWithoutBytesFailsTheDiskStepOnly)
{
    const auto cache = makeCache();
    const ImagePtr image = bitmapImage();
    const auto serializer = std::make_shared<const MuteSerializer>();
    const CacheStoreResult stored =
        storeAndWait(*cache, image, iconKey, untouchedOptions({Option::CacheSerializer{serializer}}));
    ASSERT_FALSE(stored.diskCacheResult.has_value());
    EXPECT_EQ(stored.diskCacheResult.error().errorCode(), 3008);
    const auto* reason = stored.diskCacheResult.error().reasonAs<LumenError::CacheErrorReason::CannotSerializeImage>();
    ASSERT_NE(reason, nullptr);
    EXPECT_EQ(reason->image, image);
    EXPECT_EQ(reason->serializer, serializer);
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::memory);
    EXPECT_FALSE(QFile::exists(*cache->cachePath(iconKey)));
}

TEST_F(ImageCacheTest, NullImageIsNotKeptInMemory)
{
    const auto cache = makeCache();
    const CacheStoreResult stored = storeAndWait(*cache, nullptr, iconKey, untouchedOptions());
    EXPECT_FALSE(stored.diskCacheResult.has_value());
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::none);
}

TEST_F(ImageCacheTest, DiskHitIsPromotedToMemoryBeforeItIsReported)
{
    const auto cache = makeCache();
    cache->storeToDisk(pngBytes(QSize(3, 5)), iconKey, resized);
    drainIO(*cache);
    EXPECT_EQ(cache->imageCachedType(iconKey, resized), CacheType::disk);

    const auto options = untouchedOptions({Option::Processor{std::make_shared<const NamedProcessor>(resized)}});
    Captured<Retrieved> fromDisk;
    Captured<CacheType> layerWhenReported;
    ImageCache& cacheRef = *cache;
    cache->retrieveImage(iconKey, options, CallbackQueue::mainAsync(), [&](Retrieved answer) {
        layerWhenReported.set(cacheRef.imageCachedType(iconKey, resized));
        fromDisk.set(answer);
    });
    const Retrieved disk = fromDisk.wait();
    ASSERT_TRUE(disk.has_value());
    EXPECT_EQ(disk->cacheType(), CacheType::disk);
    EXPECT_EQ(disk->image()->pixelSize(), QSize(3, 5));
    EXPECT_EQ(layerWhenReported.get(), CacheType::memory);
    EXPECT_TRUE(fromDisk.onMainThread());

    const Retrieved memory = retrieve(*cache, iconKey, options);
    ASSERT_TRUE(memory.has_value());
    EXPECT_EQ(memory->cacheType(), CacheType::memory);
    EXPECT_EQ(memory->image(), disk->image());

    // The unprocessed entry was never stored.
    const Retrieved unprocessed = retrieve(*cache, iconKey, untouchedOptions());
    ASSERT_TRUE(unprocessed.has_value());
    EXPECT_EQ(unprocessed->cacheType(), CacheType::none);
}

TEST_F(ImageCacheTest, RetrieveWithoutCompletionDoesNothing)
{
    const auto cache = makeCache();
    cache->storeToDisk(pngBytes(), iconKey);
    cache->retrieveImage(iconKey, untouchedOptions());
    drainIO(*cache);
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::disk);
}

TEST_F(ImageCacheTest, FromMemoryCacheOrRefreshNeverTouchesTheDisk)
{
    const auto cache = makeFaultyCache();
    cache->storeToDisk(pngBytes(), iconKey);
    drainIO(*cache);
    // Any disk lookup would now fail.
    fileManager->fail(FileOperation::metadata);

    const Retrieved refreshed = retrieve(*cache, iconKey, untouchedOptions({Option::FromMemoryCacheOrRefresh{}}));
    ASSERT_TRUE(refreshed.has_value());
    EXPECT_EQ(refreshed->cacheType(), CacheType::none);

    const Retrieved failed = retrieve(*cache, iconKey, untouchedOptions());
    ASSERT_FALSE(failed.has_value());
    EXPECT_EQ(failed.error().errorCode(), 3003);
    EXPECT_FALSE(cache->memoryStorage()->isCached(iconKey));
}

TEST_F(ImageCacheTest, SynchronousDiskLoadCompletesBeforeReturning)
{
    const auto cache = makeCache();
    cache->storeToDisk(pngBytes(), iconKey);
    drainIO(*cache);

    bool called = false;
    cache->retrieveImageInDiskCache(iconKey, untouchedOptions({Option::LoadDiskFileSynchronously{}}),
                                    CallbackQueue::untouch(), [&called](std::expected<ImagePtr, LumenError> image) {
                                        called = image.has_value() && *image != nullptr;
                                    });
    EXPECT_TRUE(called);
    // The disk-only lookup does not fill memory.
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::disk);
}

TEST_F(ImageCacheTest, BackgroundDecodeAppliesTheScale)
{
    const auto cache = makeCache();
    cache->storeToDisk(pngBytes(QSize(8, 8)), iconKey);
    drainIO(*cache);
    const Retrieved found = retrieve(*cache, iconKey,
                                     untouchedOptions({Option::BackgroundDecode{}, Option::ScaleFactor{2.0}}));
    ASSERT_TRUE(found.has_value() && found->image());
    EXPECT_EQ(found->image()->scale(), 2.0);
    EXPECT_EQ(found->image()->pixelSize(), QSize(8, 8));
}

TEST_F(ImageCacheTest, QueriesNeverExtendAnEntry)
{
    const auto cache = makeCache();
    const auto shortLived = untouchedOptions({Option::MemoryCacheExpiration{StorageExpiration::seconds(10)}});
    cache->store(bitmapImage(), std::nullopt, iconKey, shortLived, false);
    date.advance(6);
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::memory);
    date.advance(6);
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::none);

    // A memory read extends as the options say (here by the entry's own 10 s).
    const QString read = QStringLiteral("read");
    cache->store(bitmapImage(), std::nullopt, read, shortLived, false);
    date.advance(6);
    EXPECT_NE(cache->retrieveImageInMemoryCache(read, shortLived), nullptr);
    date.advance(6);
    EXPECT_TRUE(cache->isCached(read));

    const QString file = QStringLiteral("file");
    cache->storeToDisk(pngBytes(), file, QString(), std::nullopt, StorageExpiration::seconds(100));
    drainIO(*cache);
    date.advance(60);
    EXPECT_TRUE(cache->isCached(file));
    EXPECT_TRUE(cache->cachedFileURL(file).has_value());
    drainQueues(*cache->diskStorage());
    date.advance(60);
    EXPECT_FALSE(cache->isCached(file));
    EXPECT_FALSE(cache->cachedFileURL(file).has_value());
}

TEST_F(ImageCacheTest, PathsAndFileNames)
{
    const auto cache = makeCache();
    const QString never = QStringLiteral("never-stored");
    const auto name = cache->hash(never);
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(name->size(), 64);
    EXPECT_EQ(cache->cachePath(never), cache->diskStorage()->directoryPath() + QLatin1Char('/') + *name);
    EXPECT_FALSE(cache->cachedFileURL(never).has_value());
    EXPECT_EQ(cache->hash(never, QString(), QStringLiteral("png")), *name + QStringLiteral(".png"));

    cache->storeToDisk(pngBytes(), never, QString(), QStringLiteral("png"));
    drainIO(*cache);
    EXPECT_EQ(cache->cachedFileURL(never, QString(), QStringLiteral("png")),
              QUrl::fromLocalFile(*cache->cachePath(never, QString(), QStringLiteral("png"))));
    EXPECT_EQ(cache->imageCachedType(never), CacheType::none);
}

TEST_F(ImageCacheTest, RemoveReportsTheDiskError)
{
    const auto cache = makeCache();
    cache->store(bitmapImage(), std::nullopt, iconKey);

    Captured<std::optional<UnderlyingError>> memoryOnly;
    cache->removeImage(iconKey, QString(), std::nullopt, true, false, CallbackQueue::untouch(),
                       [&memoryOnly](std::optional<UnderlyingError> error) { memoryOnly.set(error); });
    ASSERT_TRUE(memoryOnly.has()); // delivered before returning
    EXPECT_FALSE(memoryOnly.get().has_value());
    drainIO(*cache);
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::disk);

    Captured<std::optional<UnderlyingError>> removed;
    cache->removeImage(iconKey, QString(), std::nullopt, true, true, CallbackQueue::untouch(),
                       [&removed](std::optional<UnderlyingError> error) { removed.set(error); });
    EXPECT_FALSE(removed.wait().has_value());
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::none);

    Captured<std::optional<UnderlyingError>> missing;
    cache->removeImage(iconKey, QString(), std::nullopt, true, true, CallbackQueue::untouch(),
                       [&missing](std::optional<UnderlyingError> error) { missing.set(error); });
    const auto error = missing.wait();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), FileManager::missingItemCode);

    Captured<bool> plain;
    cache->removeImage(iconKey, QString(), std::nullopt, true, true, CallbackQueue::mainAsync(),
                       [&plain] { plain.set(true); });
    plain.wait();
    EXPECT_TRUE(plain.onMainThread());
}

TEST(ImageCacheCost, DecodedSizeTimesFrames)
{
    const ImagePtr image = bitmapImage(QSize(10, 20));
    EXPECT_EQ(cacheCost(image), 10 * 20 * 4);

    const ImagePtr gray = Image::make(QImage(10, 20, QImage::Format_Grayscale8));
    EXPECT_EQ(cacheCost(gray), 10 * 20);

    const ImagePtr animated = bitmapImage(QSize(10, 20));
    animated->setImages(QList<ImagePtr>(10, bitmapImage(QSize(10, 20))));
    EXPECT_EQ(cacheCost(animated), 10 * 20 * 4 * 10);
    animated->setImages(QList<ImagePtr>());
    EXPECT_EQ(cacheCost(animated), 0);

    EXPECT_EQ(cacheCost(Image::makeEmpty()), 0);
    EXPECT_EQ(cacheCost(ImagePtr()), 0);
}

TEST(ImageCacheResults, CasesCarryTheirImageAndLayer)
{
    EXPECT_FALSE(isCached(CacheType::none));
    EXPECT_TRUE(isCached(CacheType::memory));
    EXPECT_TRUE(isCached(CacheType::disk));
    EXPECT_EQ(std::hash<CacheType>{}(CacheType::disk), std::hash<CacheType>{}(CacheType::disk));
    EXPECT_EQ((std::unordered_set<CacheType>{CacheType::none, CacheType::memory, CacheType::disk, CacheType::disk}.size()), 3U);

    const ImagePtr image = bitmapImage();
    EXPECT_EQ(ImageCacheResult::none().image(), nullptr);
    EXPECT_EQ(ImageCacheResult::none().cacheType(), CacheType::none);
    EXPECT_EQ(ImageCacheResult::memory(image).image(), image);
    EXPECT_EQ(ImageCacheResult::memory(image).cacheType(), CacheType::memory);
    EXPECT_EQ(ImageCacheResult::disk(image).image(), image);
    EXPECT_EQ(ImageCacheResult::disk(image).cacheType(), CacheType::disk);
}

} // namespace
