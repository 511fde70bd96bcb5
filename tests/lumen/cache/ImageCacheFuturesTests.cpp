#include "ImageCacheTestSupport.h"

#include <QFile>

#include <thread>

namespace {

using namespace Lumen;
using namespace Lumen::Testing;
using Tivrand::Testing::waitUntil;

const QString iconKey = QStringLiteral("https://example.com/icons/app.png");

class MuteSerializer final : public CacheSerializer {
public:
    std::optional<QByteArray> data(const ImagePtr&, const std::optional<QByteArray>&) const override
    {
        return std::nullopt;
    }
    ImagePtr image(const QByteArray&, const LumenParsedOptionsInfo&) const override { return nullptr; }
    bool usesOriginalData() const override { return false; }
};

// The value of a future, pumping the GUI thread meanwhile. The I/O queue is drained before
// the future goes: a future finished there is released only after that job is over, which
// keeps ThreadSanitizer (that cannot see Qt's own reference counting) from a false report.
template <typename T>
T awaited(ImageCache& cache, QFuture<T> future)
{
    EXPECT_TRUE(waitUntil([&future] { return future.isFinished(); }));
    drainIO(cache);
    return future.result();
}

void awaited(ImageCache& cache, QFuture<void> future)
{
    EXPECT_TRUE(waitUntil([&future] { return future.isFinished(); }));
    drainIO(cache);
}

TEST_F(ImageCacheTest, StoreFuturesCarryTheDiskOutcome)
{
    const auto cache = makeCache();
    const ImagePtr image = bitmapImage();
    EXPECT_TRUE(awaited(*cache, cache->storeAsync(image, std::nullopt, iconKey, LumenParsedOptionsInfo())).has_value());
    EXPECT_TRUE(QFile::exists(*cache->cachePath(iconKey)));

    const auto failed = awaited(*cache, cache->storeAsync(image, std::nullopt, QStringLiteral("mute"), QStringLiteral("p"),
                                                  std::nullopt, std::make_shared<const MuteSerializer>()));
    ASSERT_FALSE(failed.has_value());
    EXPECT_EQ(failed.error().errorCode(), 3008);
    EXPECT_EQ(cache->imageCachedType(QStringLiteral("mute"), QStringLiteral("p")), CacheType::memory);

    EXPECT_TRUE(awaited(*cache, cache->storeToDiskAsync(pngBytes(), QStringLiteral("bytes"))).has_value());
    EXPECT_EQ(cache->imageCachedType(QStringLiteral("bytes")), CacheType::disk);
}

TEST_F(ImageCacheTest, RetrieveFuturesFollowTheLayers)
{
    const auto cache = makeCache();
    ASSERT_TRUE(awaited(*cache, cache->storeToDiskAsync(pngBytes(QSize(5, 7)), iconKey)).has_value());

    const auto onDisk = awaited(*cache, cache->retrieveImageInDiskCacheAsync(iconKey));
    ASSERT_TRUE(onDisk.has_value() && *onDisk);
    EXPECT_EQ((*onDisk)->pixelSize(), QSize(5, 7));
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::disk);

    const auto disk = awaited(*cache, cache->retrieveImageAsync(iconKey));
    ASSERT_TRUE(disk.has_value());
    EXPECT_EQ(disk->cacheType(), CacheType::disk);
    const auto memory = awaited(*cache, cache->retrieveImageAsync(iconKey, LumenParsedOptionsInfo()));
    ASSERT_TRUE(memory.has_value());
    EXPECT_EQ(memory->cacheType(), CacheType::memory);
    EXPECT_EQ(memory->image(), disk->image());

    const auto missing = awaited(*cache, cache->retrieveImageAsync(QStringLiteral("missing")));
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->cacheType(), CacheType::none);
}

TEST_F(ImageCacheTest, RetrieveFutureReportsADiskFailure)
{
    const auto cache = makeFaultyCache();
    ASSERT_TRUE(awaited(*cache, cache->storeToDiskAsync(pngBytes(), iconKey)).has_value());
    fileManager->fail(FileOperation::read);
    const auto failed = awaited(*cache, cache->retrieveImageAsync(iconKey));
    ASSERT_FALSE(failed.has_value());
    EXPECT_EQ(failed.error().errorCode(), 3004);
}

TEST_F(ImageCacheTest, RemoveFutureCarriesTheFileError)
{
    const auto cache = makeCache();
    ASSERT_TRUE(awaited(*cache, cache->storeToDiskAsync(pngBytes(), iconKey)).has_value());
    EXPECT_TRUE(awaited(*cache, cache->removeImageAsync(iconKey)).has_value());
    const auto again = awaited(*cache, cache->removeImageAsync(iconKey));
    ASSERT_FALSE(again.has_value());
    EXPECT_EQ(again.error().code(), FileManager::missingItemCode);
    EXPECT_TRUE(awaited(*cache, cache->removeImageAsync(iconKey, QString(), std::nullopt, true, false)).has_value());
}

TEST_F(ImageCacheTest, MaintenanceFuturesFinishOnTheMainQueue)
{
    const auto cache = makeCache();
    ASSERT_TRUE(awaited(*cache, cache->storeAsync(bitmapImage(), std::nullopt, iconKey, LumenParsedOptionsInfo())).has_value());
    const auto size = awaited(*cache, cache->diskStorageSize());
    ASSERT_TRUE(size.has_value());
    EXPECT_GT(*size, 0U);

    awaited(*cache, cache->cleanExpiredDiskCacheAsync());
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::memory);
    awaited(*cache, cache->clearDiskCacheAsync());
    EXPECT_EQ(awaited(*cache, cache->diskStorageSize()), 0U);
    EXPECT_TRUE(cache->memoryStorage()->isCached(iconKey));

    const auto cleared = cache->clearCacheAsync();
    EXPECT_FALSE(cache->memoryStorage()->isCached(iconKey));
    awaited(*cache, cleared);
    awaited(*cache, cache->cleanExpiredCacheAsync());
}

TEST_F(ImageCacheTest, AWorkerMayWaitWhileTheMainThreadRuns)
{
    const auto cache = makeCache();
    std::atomic<bool> finished = false;
    QFuture<std::expected<void, LumenError>> stored;
    QFuture<void> cleared;
    std::thread worker([&] {
        stored = cache->storeAsync(bitmapImage(), std::nullopt, iconKey, LumenParsedOptionsInfo());
        stored.waitForFinished();
        cleared = cache->clearDiskCacheAsync();
        cleared.waitForFinished();
        finished = true;
    });
    EXPECT_TRUE(waitUntil([&finished] { return finished.load(); }));
    worker.join();
    drainIO(*cache);
    EXPECT_TRUE(stored.result().has_value());
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::memory);
    EXPECT_FALSE(QFile::exists(*cache->cachePath(iconKey)));
}

} // namespace
