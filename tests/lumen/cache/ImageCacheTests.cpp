#include "CacheTestSupport.h"

#include "Lumen/cache/ImageCacheCost.h"
#include "Lumen/foundation/imaging/GIFAnimatedImage.h"
#include "Lumen/foundation/processors/GeneralProcessor.h"

#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <future>
#include <map>
#include <thread>

namespace {

using namespace Lumen;
using namespace Lumen::Testing;
using Tivrand::Testing::waitUntil;

const QString iconKey = QStringLiteral("https://example.com/icons/app.png");
const QString resized = QStringLiteral("com.vantrel.Lumen.ResizingImageProcessor(100.0x100.0)");

// The value of a future, pumping the GUI thread meanwhile. The I/O queue is drained before
// the future goes: a future finished by a write or removal is released only after that job
// is over, which keeps ThreadSanitizer (that cannot see Qt's own reference counting) from a
// false report.
template <typename T>
T awaited(ImageCache& cache, QFuture<T> future)
{
    EXPECT_TRUE(waitUntil([&future] { return future.isFinished(); }));
    drainIO(cache);
    if constexpr (std::is_void_v<T>)
        return;
    else
        return future.result();
}

TEST_F(ImageCacheTest, WhereTheFilesGo)
{
    const auto first = makeCache();
    EXPECT_EQ(first->diskStorage()->directoryPath(), root.path() + QStringLiteral("/com.vantrel.Lumen.ImageCache.test"));

    EXPECT_EQ(ImageCache::defaultCache()->diskStorage()->directoryPath(),
              QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/com.vantrel.Lumen.ImageCache.default"));

    // An empty name or a folder that cannot be made is refused; the cache that cannot fail
    // still works in memory and reports every disk step.
    const QString blocker = root.filePath(QStringLiteral("file"));
    writeBytes(blocker);
    for (const auto& made : {ImageCache::make(QString(), root.path()), ImageCache::makePrepared(QString(), root.path()),
                             ImageCache::makePrepared(QStringLiteral("test"), blocker)})
        EXPECT_EQ(made.error().errorCode(), 3005);
    const auto cache = ImageCache::make(QStringLiteral("test"), blocker);
    ASSERT_TRUE(cache.has_value());
    const ImagePtr image = bitmapImage();
    EXPECT_EQ(storeAndWait(**cache, image, iconKey).diskCacheResult.error().errorCode(), 3011);
    EXPECT_EQ((*cache)->retrieveImageInMemoryCache(iconKey, untouchedOptions()), image);
}

// The path block decides the folder, outside the root too; only a folder whose clearing
// would take the root with it is refused.
TEST_F(ImageCacheTest, APathBlockPlacesTheFolder)
{
    QTemporaryDir elsewhere;
    const QString folder = elsewhere.filePath(QStringLiteral("icons"));
    const auto placed = [folder](const QString&, const QString&) { return folder; };
    const auto cache = ImageCache::makePrepared(QStringLiteral("test"), root.path(), placed, clock()).value();
    m_diskStorages.push_back(cache->diskStorage());
    m_caches.push_back(cache);
    EXPECT_EQ(cache->diskStorage()->directoryPath(), folder);
    ASSERT_TRUE(storeAndWait(*cache, bitmapImage(), iconKey).diskCacheResult);
    cache->clearMemoryCache();
    EXPECT_EQ(retrieve(*cache, iconKey)->cacheType(), CacheType::disk);
    drainQueues(*cache->diskStorage());

    const auto onTheRoot = [this](const QString&, const QString&) { return root.path(); };
    EXPECT_EQ(ImageCache::makePrepared(QStringLiteral("test"), root.path(), onTheRoot).error().errorCode(), 3005);
}

TEST_F(ImageCacheTest, KeyAndProcessorIdentifierNameSeparateEntries)
{
    const auto cache = makeCache();
    cache->store(bitmapImage(QSize(4, 4)), std::nullopt, iconKey);
    cache->store(bitmapImage(QSize(2, 2)), std::nullopt, iconKey, resized);
    drainIO(*cache);

    EXPECT_EQ(cache->hash(iconKey, resized), cache->hash(iconKey + QLatin1Char('@') + resized));
    EXPECT_EQ(fileNamesIn(cache->diskStorage()->directoryPath()), (std::set{*cache->hash(iconKey), *cache->hash(iconKey, resized)}));

    cache->removeImage(iconKey, resized);
    drainIO(*cache);
    EXPECT_EQ(cache->imageCachedType(iconKey, resized), CacheType::none);

    // Reading the survivor back from disk gives the unprocessed one.
    cache->clearMemoryCache();
    EXPECT_EQ(retrieve(*cache, iconKey)->image()->pixelSize(), QSize(4, 4));
}

TEST_F(ImageCacheTest, StoreKeepsMemoryAtOnceAndReportsTheDiskStep)
{
    const auto cache = makeCache();
    const ImagePtr image = bitmapImage();
    Collected<CacheStoreResult> stored;
    cache->store(image, std::nullopt, iconKey, untouchedOptions(), true, stored.handler());
    EXPECT_EQ(cache->retrieveImageInMemoryCache(iconKey, untouchedOptions()), image);
    EXPECT_TRUE(firstOf(stored).diskCacheResult.has_value());

    // Memory only, and a serializer without bytes, which fails the disk step only: no file.
    cache->store(image, std::nullopt, QStringLiteral("memory"), untouchedOptions(), false);
    const auto muteSerializer = untouchedOptions({Option::CacheSerializer{std::make_shared<const MuteSerializer>()}});
    const CacheStoreResult unserialized = storeAndWait(*cache, image, QStringLiteral("mute"), muteSerializer);
    EXPECT_TRUE(unserialized.memoryCacheResult.has_value());
    EXPECT_EQ(unserialized.diskCacheResult.error().errorCode(), 3008);
    for (const QString& key : {QStringLiteral("memory"), QStringLiteral("mute")})
        EXPECT_FALSE(QFile::exists(*cache->cachePath(key))) << key.toStdString();

    // A null image is not kept anywhere.
    (void)storeAndWait(*cache, nullptr, QStringLiteral("null"));
    EXPECT_EQ(cache->imageCachedType(QStringLiteral("null")), CacheType::none);
    // The disk step on the caller's thread is written and reported before it returns.
    bool written = false;
    cache->syncStoreToDisk(pngBytes(QSize(2, 2)), QStringLiteral("sync"), QString(), std::nullopt, CallbackQueue::untouch(),
                           std::nullopt, {}, [&written](const CacheStoreResult& result) { written = result.diskCacheResult.has_value(); });
    EXPECT_TRUE(written && QFile::exists(*cache->cachePath(QStringLiteral("sync"))));
}

// Stores its bytes as the original ones; the encoding of "first" ends only after that of
// "second" has, so the files of a parallel encoding are ready in the reverse order.
class CrossingSerializer final : public CacheSerializer {
public:
    std::optional<QByteArray> data(const ImagePtr&, const std::optional<QByteArray>& original) const override
    {
        if (*original == "first")
            m_secondEncoded.wait_for(std::chrono::seconds(5));
        else
            m_secondDone.set_value();
        return original;
    }
    ImagePtr image(const QByteArray&, const LumenParsedOptionsInfo&) const override { return nullptr; }
    bool usesOriginalData() const override { return true; }

private:
    mutable std::promise<void> m_secondDone;
    std::shared_future<void> m_secondEncoded = m_secondDone.get_future().share();
};

TEST_F(ImageCacheTest, StoresOfOneKeyLandInCallOrder)
{
    const auto cache = makeCache();
    const auto options = untouchedOptions({Option::CacheSerializer{std::make_shared<const CrossingSerializer>()}});
    Collected<CacheStoreResult> stored;
    for (const char* bytes : {"first", "second"})
        std::thread([&] { cache->store(bitmapImage(), QByteArray(bytes), iconKey, options, true, stored.handler()); }).join();
    ASSERT_TRUE(stored.waitFor(2));
    QFile file(*cache->cachePath(iconKey));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "second");
}

// Releasing a cache finishes the write under way and drops the file work queued behind it:
// no file appears once it is gone, and every dropped job still answers its caller, the
// stores with the storage not ready.
TEST_F(ImageCacheTest, ADestroyedCacheLeavesNoWriteBehind)
{
    std::promise<void> writing;
    std::promise<void> proceed;
    fileManager->setBefore(FileOperation::write, [&, first = true]() mutable {
        if (std::exchange(first, false)) {
            writing.set_value();
            proceed.get_future().wait();
        }
    });
    auto cache = makeFaultyCache();
    const auto storage = cache->diskStorage();
    std::mutex answersMutex;
    std::vector<int> storeCodes;
    std::optional<qint64> removalCode;
    std::atomic<int> others = 0;
    for (int index = 0; index < 5; ++index)
        cache->storeToDisk("bytes", QString::number(index), QString(), std::nullopt, std::nullopt,
                           CallbackQueue::untouch(), [&](const CacheStoreResult& result) {
                               std::lock_guard lock(answersMutex);
                               storeCodes.push_back(result.diskCacheResult ? 0 : result.diskCacheResult.error().errorCode());
                           });
    cache->store(bitmapImage(), std::nullopt, QStringLiteral("encoded"), QString(), std::nullopt,
                 DefaultCacheSerializer::shared(), true, CallbackQueue::untouch(), [&](const CacheStoreResult& result) {
                     std::lock_guard lock(answersMutex);
                     storeCodes.push_back(result.diskCacheResult ? 0 : result.diskCacheResult.error().errorCode());
                 });
    cache->removeImage(QStringLiteral("0"), QString(), std::nullopt, false, true, CallbackQueue::untouch(),
                       ImageCache::RemoveCompletion([&](const std::optional<UnderlyingError>& error) {
                           std::lock_guard lock(answersMutex);
                           removalCode = error ? error->code() : 0;
                           ++others;
                       }));
    cache->clearDiskCache([&] { ++others; });
    cache->cleanExpiredDiskCache([&] { ++others; });
    writing.get_future().wait();
    const std::weak_ptr<ImageCache> released = cache;
    std::thread releasing([&] {
        cache.reset();
        EXPECT_EQ(fileNamesIn(storage->directoryPath()), std::set{*storage->cacheFileName(QStringLiteral("0"))});
    });
    // The first write goes on only once the cache is on its way out.
    EXPECT_TRUE(waitUntil([&] { return released.expired(); }));
    proceed.set_value();
    releasing.join();
    // Every queued job has run once none holds the storage any more.
    EXPECT_TRUE(waitUntil([&] { return storage.use_count() == 2 && others == 3; }));
    EXPECT_EQ(fileNamesIn(storage->directoryPath()).size(), 1U);
    std::lock_guard lock(answersMutex);
    std::ranges::sort(storeCodes);
    EXPECT_EQ(storeCodes, (std::vector{0, 3011, 3011, 3011, 3011, 3011}));
    EXPECT_EQ(removalCode, ECANCELED);
}

// Reads run side by side, but each still sees the disk as the operations called before it left it.
TEST_F(ImageCacheTest, DiskReadsKeepTheirPlaceAmongWritesAndRemovals)
{
    const auto cache = makeCache();
    Collected<std::pair<int, QSize>> read;
    const auto readSize = [&](int order) {
        cache->retrieveImageInDiskCache(iconKey, untouchedOptions(), CallbackQueue::untouch(),
                                        [&, order](std::expected<ImagePtr, LumenError> image) {
                                            read.handler()({order, image && *image ? (*image)->pixelSize() : QSize()});
                                        });
    };
    readSize(0);
    cache->storeToDisk(pngBytes(QSize(3, 5)), iconKey);
    readSize(1);
    readSize(2);
    cache->removeImage(iconKey);
    readSize(3);
    ASSERT_TRUE(read.waitFor(4));
    std::map<int, QSize> sizes;
    for (std::size_t i = 0; i < 4; ++i)
        sizes.insert(read.at(i));
    EXPECT_EQ(sizes, (std::map<int, QSize>{{0, QSize()}, {1, QSize(3, 5)}, {2, QSize(3, 5)}, {3, QSize()}}));
}

TEST_F(ImageCacheTest, DiskHitIsPromotedToMemoryBeforeItIsReported)
{
    const auto cache = makeCache();
    cache->storeToDisk(pngBytes(QSize(3, 5)), iconKey, resized);
    drainIO(*cache);
    const auto options = untouchedOptions({Option::Processor{std::make_shared<const GeneralProcessor>(resized, GeneralProcessor::Body())}});
    // The layer the entry is in when the disk hit is reported.
    Collected<std::pair<Retrieved, CacheType>> reported;
    ImageCache& cacheRef = *cache;
    cache->retrieveImage(iconKey, options, CallbackQueue::mainAsync(), [&](Retrieved answer) {
        reported.handler()({std::move(answer), cacheRef.imageCachedType(iconKey, resized)});
    });
    const auto [fromDisk, layerWhenReported] = firstOf(reported);
    EXPECT_EQ(fromDisk->cacheType(), CacheType::disk);
    EXPECT_EQ(layerWhenReported, CacheType::memory);
}

TEST_F(ImageCacheTest, DiskLoadOptionsAndFromMemoryCacheOrRefreshNeverTouchingTheDisk)
{
    const auto cache = makeFaultyCache();
    cache->storeToDisk(pngBytes(QSize(8, 8)), iconKey);
    drainIO(*cache);

    bool called = false;
    cache->retrieveImageInDiskCache(iconKey, untouchedOptions({Option::LoadDiskFileSynchronously{}}), CallbackQueue::untouch(),
                                    [&called](std::expected<ImagePtr, LumenError> image) { called = image.has_value() && *image; });
    EXPECT_TRUE(called);
    // The disk-only lookup does not fill memory.
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::disk);

    const Retrieved found = retrieve(*cache, iconKey, untouchedOptions({Option::BackgroundDecode{}, Option::ScaleFactor{2.0}}));
    EXPECT_EQ(found->image()->scale(), 2.0);

    // Any disk lookup would now fail.
    cache->clearMemoryCache();
    fileManager->fail(FileOperation::metadata);
    EXPECT_EQ(retrieve(*cache, iconKey, untouchedOptions({Option::FromMemoryCacheOrRefresh{}}))->cacheType(), CacheType::none);
    EXPECT_EQ(retrieve(*cache, iconKey).error().errorCode(), 3003);
}

TEST_F(ImageCacheTest, QueriesNeverExtendAnEntry)
{
    const auto cache = makeCache();
    const auto shortLived = untouchedOptions({Option::MemoryCacheExpiration{StorageExpiration::seconds(10)}});
    cache->store(bitmapImage(), std::nullopt, iconKey, shortLived, false);
    date.advance(6);
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::memory);
    date.advance(6);
    EXPECT_FALSE(cache->isCached(iconKey));

    const QString file = QStringLiteral("file");
    ASSERT_TRUE(storeFileAndWait(*cache, file, StorageExpiration::seconds(100)).diskCacheResult);
    date.advance(60);
    EXPECT_EQ(cache->cachedFileURL(file), QUrl::fromLocalFile(*cache->cachePath(file)));
    drainQueues(*cache->diskStorage());
    date.advance(60);
    EXPECT_FALSE(cache->cachedFileURL(file).has_value());
}

TEST_F(ImageCacheTest, RemoveReportsTheDiskError)
{
    const auto cache = makeCache();
    cache->store(bitmapImage(), std::nullopt, iconKey);
    // Each answer comes with whether it arrived on the GUI thread.
    using Answer = std::pair<std::optional<UnderlyingError>, bool>;
    const auto remove = [&](bool fromDisk, CallbackQueue queue = CallbackQueue::untouch()) {
        auto answers = std::make_shared<Collected<Answer>>();
        cache->removeImage(iconKey, QString(), std::nullopt, true, fromDisk, queue, [answers](std::optional<UnderlyingError> error) {
            answers->handler()({std::move(error), Testing::onGuiThread()});
        });
        return answers;
    };
    ASSERT_EQ(remove(false)->size(), 1U); // delivered before returning
    drainIO(*cache);
    EXPECT_EQ(cache->imageCachedType(iconKey), CacheType::disk);
    EXPECT_FALSE(firstOf(*remove(true)).first.has_value());
    const auto [missing, onGuiThread] = firstOf(*remove(true, CallbackQueue::mainAsync()));
    EXPECT_EQ(missing->code(), FileManager::missingItemCode);
    EXPECT_TRUE(onGuiThread);
}

TEST_F(ImageCacheTest, FuturesCarryTheOutcomes)
{
    const auto cache = makeCache();
    const ImagePtr image = bitmapImage();
    EXPECT_TRUE(awaited(*cache, cache->storeAsync(image, std::nullopt, QStringLiteral("image"), LumenParsedOptionsInfo())));
    const auto mute = awaited(*cache, cache->storeAsync(image, std::nullopt, QStringLiteral("mute"), QStringLiteral("p"),
                                                        std::nullopt, std::make_shared<const MuteSerializer>()));
    EXPECT_EQ(mute.error().errorCode(), 3008);

    ASSERT_TRUE(awaited(*cache, cache->storeToDiskAsync(pngBytes(QSize(5, 7)), iconKey)));
    EXPECT_EQ((*awaited(*cache, cache->retrieveImageInDiskCacheAsync(iconKey)))->pixelSize(), QSize(5, 7));
    EXPECT_EQ(awaited(*cache, cache->retrieveImageAsync(iconKey))->cacheType(), CacheType::disk);

    EXPECT_TRUE(awaited(*cache, cache->removeImageAsync(iconKey)));
    awaited(*cache, cache->clearCacheAsync());
    EXPECT_EQ(awaited(*cache, cache->diskStorageSize()), 0U);
}

// A subclass whose reads all answer one image from memory, and which counts its clearings.
class FixedAnswerCache final : public ImageCache {
public:
    FixedAnswerCache(const ImageCache& model, ImagePtr answer)
        : ImageCache(Passkey{}, model.memoryStorage(), model.diskStorage()), m_answer(std::move(answer))
    {
    }
    using ImageCache::retrieveImage;
    void retrieveImage(const QString&, const LumenParsedOptionsInfo&, CallbackQueue callbackQueue,
                       RetrieveCompletion completionHandler) override
    {
        callbackQueue.execute([completionHandler, image = m_answer] { completionHandler(ImageCacheResult::memory(image)); });
    }
    QFuture<void> clearCacheAsync() override
    {
        ++asynchronousClearings;
        return ImageCache::clearCacheAsync();
    }
    int asynchronousClearings = 0;

private:
    ImagePtr m_answer;
};

// The option-list forms start the overridable parsed-options ones, and the futures are
// overridable themselves.
TEST_F(ImageCacheTest, OptionListAndAsynchronousFormsAreOverridable)
{
    const ImagePtr answer = bitmapImage();
    const auto subclassed = std::make_shared<FixedAnswerCache>(*makeCache(), answer);
    ImageCache& cache = *subclassed;
    Collected<Retrieved> listed;
    cache.retrieveImage(iconKey, std::optional<LumenOptionsInfo>(), CallbackQueue::untouch(), listed.handler());
    EXPECT_EQ(firstOf(listed)->image(), answer);
    EXPECT_EQ(awaited(cache, cache.retrieveImageAsync(iconKey))->image(), answer);
    awaited(cache, cache.clearCacheAsync());
    EXPECT_EQ(subclassed->asynchronousClearings, 1);
}

TEST_F(ImageCacheTest, AWorkerMayWaitWhileTheMainThreadRuns)
{
    const auto cache = makeCache();
    std::atomic<bool> finished = false;
    // Kept here, so that the last reference to each future's state goes after the join: a
    // worker dropping it while the GUI thread drops the promise is synchronised only inside
    // Qt, where ThreadSanitizer cannot see it.
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
}

TEST(ImageCacheCost, DecodedSizeAndEachFramesRecordsTimesFrames)
{
    const ImagePtr animated = bitmapImage(QSize(10, 20));
    animated->setImages(QList<ImagePtr>(10, bitmapImage(QSize(10, 20))));
    const ImagePtr noFrames = bitmapImage(QSize(10, 20));
    noFrames->setImages(QList<ImagePtr>());
    const struct { const char* name; ImagePtr image; std::int64_t cost; } cases[] = {
        {"animated", animated, (10 * 20 * 4 + GIFAnimatedImage::frameOverheadBytes) * 10},
        {"animated without frames", noFrames, 0},
        {"null", nullptr, 0},
    };
    for (const auto& test : cases)
        EXPECT_EQ(cacheCost(test.image), test.cost) << test.name;
}

} // namespace
