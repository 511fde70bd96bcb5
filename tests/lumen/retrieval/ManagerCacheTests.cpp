#include "tests/lumen/retrieval/RetrievalTesting.h"

#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/retrieval/CacheCallbackCoordinator.h"
#include "Lumen/retrieval/Base64ImageDataProvider.h"
#include "Lumen/retrieval/RawImageDataProvider.h"

#include <QDateTime>
#include <QFileInfo>

namespace Lumen::Testing {
namespace {

using Tivrand::Testing::waitUntil;

TEST_F(ManagerTest, AMissIsDownloadedOnceThenServedFromMemoryThenDiskUnlessOnlyFromCacheOrForced)
{
    EXPECT_EQ(codeOf(retrieve(red(), {Option::OnlyFromCache{}})), 3006);
    const auto downloaded = retrieve(red(), {Option::WaitForCache{}});
    ASSERT_TRUE(downloaded);
    EXPECT_EQ(retrieve(red())->image, downloaded->image);

    cache->clearMemoryCache();
    const auto fromDisk = retrieve(red());
    EXPECT_EQ(fromDisk->cacheType, CacheType::disk);
    EXPECT_EQ(server.hits("/image.png"), 1);
    EXPECT_EQ(retrieve(red(), {Option::ForceRefresh{}, Option::OnlyFromCache{}})->cacheType, CacheType::none);
}

TEST_F(ManagerTest, WaitingForTheCacheReportsOnlyOnceEveryFileIsWritten)
{
    Retrievals done;
    bool filesWritten = false;
    const LumenOptionsInfo options{Option::WaitForCache{}, Option::CacheOriginalImage{}, Option::Processor{processor}};
    manager->retrieveImage(red(), options, {}, {}, [&](LumenManager::RetrieveResult result) {
        filesWritten = cache->cachedFileURL(red().cacheKey(), QStringLiteral("p"))
            && cache->cachedFileURL(red().cacheKey());
        done.handler()(std::move(result));
    });
    ASSERT_TRUE(done.waitFor(1));
    EXPECT_TRUE(filesWritten);

    // The original is processed again instead of downloaded.
    std::atomic<bool> removed = false;
    cache->removeImage(red().cacheKey(), QStringLiteral("p"), std::nullopt, true, true, CallbackQueue::untouch(),
                       [&] { removed = true; });
    ASSERT_TRUE(waitUntil([&] { return removed.load(); }));
    cache->clearMemoryCache();
    EXPECT_EQ(colorOf(retrieve(red(), {Option::Processor{processor}})), QColor(Qt::red));
    EXPECT_EQ(processor->runs, 2);
    EXPECT_EQ(server.hits("/image.png"), 1);
}

TEST_F(ManagerTest, EntriesAreKeyedByProcessorAndScale)
{
    const struct { double scale; std::shared_ptr<const ImageProcessor> processor; QString identifier; } cases[] = {
        {1.0, processor, QStringLiteral("p")},
        {2.0, processor, QStringLiteral("p_scale(2.0)")},
        {2.0, DefaultImageProcessor::shared(), QStringLiteral("_scale(2.0)")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.identifier.toStdString());
        const LumenOptionsInfo items{Option::WaitForCache{}, Option::ScaleFactor{c.scale},
                                     Option::Processor{c.processor}};
        EXPECT_EQ(retrieve(red(), items)->cacheType, CacheType::none);
        EXPECT_TRUE(cache->cachedFileURL(red().cacheKey(), c.identifier));
    }
    EXPECT_FALSE(cache->isCached(red().cacheKey()));
}

TEST_F(ManagerTest, AnUnreadableCacheFileIsAMiss)
{
    const struct { const char* name; LumenOptionsInfo options; int expectedCode; int expectedDownloads; } cases[] = {
        {"only from cache", {Option::OnlyFromCache{}}, 3006, 0},
        {"downloaded again", {}, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(retrieve(red(), {Option::ForceRefresh{}, Option::WaitForCache{}}));
        cache->clearMemoryCache();
        // The file's modification time is its expiry: it must survive the damage.
        QFile file(cache->cachedFileURL(red().cacheKey()).value().toLocalFile());
        const QDateTime expiry = QFileInfo(file).lastModified();
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("not an image") && file.flush());
        ASSERT_TRUE(file.setFileTime(expiry, QFileDevice::FileModificationTime));
        file.close();

        const int hits = server.hits("/image.png");
        EXPECT_EQ(codeOf(retrieve(red(), c.options)), c.expectedCode);
        EXPECT_EQ(server.hits("/image.png") - hits, c.expectedDownloads);
    }
}

// A load of the entry stores its image in memory, as a store starts, just as a retrieval that
// missed it there asks which cache holds it: its file is not written yet.
class LateStoringCache final : public ImageCache {
public:
    LateStoringCache(const ImageCache& model, ImagePtr image)
        : ImageCache(Passkey{}, model.memoryStorage(), model.diskStorage()), m_image(std::move(image))
    {
    }
    CacheType imageCachedType(const QString& key, const QString& processorIdentifier,
                              const std::optional<QString>& forcedExtension) override
    {
        if (ImagePtr image = std::exchange(m_image, nullptr))
            store(std::move(image), std::nullopt, key, processorIdentifier, forcedExtension,
                  DefaultCacheSerializer::shared(), /*toDisk=*/false);
        return ImageCache::imageCachedType(key, processorIdentifier, forcedExtension);
    }

private:
    ImagePtr m_image;
};

TEST_F(ManagerTest, AnEntryThatReachesMemoryBeforeItsFileIsTakenFromMemoryWithoutALoad)
{
    const auto image = Image::make(QImage::fromData(redBytes));
    const auto lateStoring = std::make_shared<LateStoringCache>(*cache, image);
    const auto found = retrieve(red(), {Option::TargetCache{lateStoring}});
    ASSERT_TRUE(found);
    EXPECT_EQ(found->image, image);
    EXPECT_EQ(found->cacheType, CacheType::memory);
    EXPECT_EQ(server.hits("/image.png"), 0);
}

// Never trusts its cache, so what is on disk is downloaded again.
class CacheDistrustingManager final : public ManagerSubclass<CacheDistrustingManager> {
public:
    using ManagerSubclass::ManagerSubclass;
    bool retrieveImageFromCache(const Source&, const std::shared_ptr<RetrievingContext>&, CompletionHandler) override
    {
        return false;
    }
};

TEST_F(ManagerTest, ASubclassDecidesHowARetrievalChecksItsCache)
{
    ASSERT_TRUE(retrieve(red(), {Option::WaitForCache{}}));
    cache->clearMemoryCache();
    manager = CacheDistrustingManager::make(downloader, cache);
    EXPECT_EQ(retrieve(red())->cacheType, CacheType::none);
    EXPECT_EQ(server.hits("/image.png"), 2);
    // Memory holds it now, where a miss looks again before it loads.
    EXPECT_EQ(retrieve(red())->cacheType, CacheType::none);
    EXPECT_EQ(server.hits("/image.png"), 3);
}

// Counts the steps it is asked to run, running them as the manager does.
class StepCountingManager final : public ManagerSubclass<StepCountingManager> {
public:
    using ManagerSubclass::ManagerSubclass;
    bool retrieveImageFromCache(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                CompletionHandler completionHandler) override
    {
        ++lookups;
        return LumenManager::retrieveImageFromCache(source, context, std::move(completionHandler));
    }
    std::optional<DownloadTask::WrappedTask> loadAndCacheImage(const Source& source,
                                                               const std::shared_ptr<RetrievingContext>& context,
                                                               CompletionHandler completionHandler) override
    {
        ++loads;
        return LumenManager::loadAndCacheImage(source, context, std::move(completionHandler));
    }
    void cacheImage(const Source& source, const LumenParsedOptionsInfo& options,
                    const std::shared_ptr<RetrievingContext>& context,
                    std::expected<ImageLoadingResult, LumenError> result, CompletionHandler completionHandler) override
    {
        ++stores;
        LumenManager::cacheImage(source, options, context, std::move(result), std::move(completionHandler));
    }

    std::atomic<int> lookups = 0;
    std::atomic<int> loads = 0;
    std::atomic<int> stores = 0;
};

TEST_F(ManagerTest, ASubclassSeesEveryStepARetrievalRuns)
{
    const auto counting = StepCountingManager::make(downloader, cache);
    manager = counting;
    const struct { const char* name; Source source; int lookups, loads, stores; } steps[] = {
        {"downloaded", red(), 1, 1, 1},
        {"from memory", red(), 2, 1, 1},
        {"from a provider", Source::provider(std::make_shared<RawImageDataProvider>(greenBytes, QStringLiteral("green"))), 3, 2, 2},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        ASSERT_TRUE(retrieve(step.source));
        EXPECT_EQ(counting->lookups, step.lookups);
        EXPECT_EQ(counting->loads, step.loads);
        EXPECT_EQ(counting->stores, step.stores);
    }
}

TEST_F(ManagerTest, OnlyImagesReadFromOriginalBytesAreProcessedAgain)
{
    auto serializer = std::make_shared<DefaultCacheSerializer>();
    serializer->preferCacheOriginalData = true;
    const LumenOptionsInfo options{Option::Processor{processor}, Option::CacheSerializer{serializer}};
    ASSERT_TRUE(retrieve(red(), {Option::Processor{processor}, Option::CacheSerializer{serializer},
                                 Option::WaitForCache{}}));
    cache->clearMemoryCache();
    const auto fromDisk = retrieve(red(), options);
    EXPECT_EQ(processor->runs, 2);
    EXPECT_EQ(retrieve(red(), options)->image, fromDisk->image);
    EXPECT_EQ(processor->runs, 2);
}

// Nothing out of a processor or decoder is a failure: a cached animation that no longer
// decodes, provider bytes that are no image, a provider that fails.
TEST_F(ManagerTest, WhatYieldsNoImageIsAnErrorAndIsNotStored)
{
    const ImagePtr animated = Image::make(QImage(4, 4, QImage::Format_ARGB32_Premultiplied));
    animated->setImageFrameCount(2);
    animated->setImageCreatingOptions(ImageCreatingOptions{1.0, 0.0, true, false});
    animated->setAnimatedImageData(QByteArray("not a GIF"));
    cache->store(animated, std::nullopt, red().cacheKey(), QString(), std::nullopt, DefaultCacheSerializer::shared(),
                 false);
    EXPECT_EQ(codeOf(retrieve(red())), 4001);

    const struct { const char* name; std::shared_ptr<const ImageDataProvider> provider; int expectedCode; } cases[] = {
        {"image", std::make_shared<RawImageDataProvider>(greenBytes, QStringLiteral("green")), 0},
        {"undecodable", std::make_shared<RawImageDataProvider>(QByteArray("junk"), QStringLiteral("junk")), 4001},
        {"failing", std::make_shared<Base64ImageDataProvider>(QStringLiteral("!"), QStringLiteral("failing")), 5003},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(codeOf(retrieve(Source::provider(c.provider), {Option::WaitForCache{}})), c.expectedCode);
        EXPECT_EQ(cache->isCached(c.provider->cacheKey()), c.expectedCode == 0);
    }
}

TEST_F(ManagerTest, OptionsWithoutProcessorOrSerializerUseTheDefaultsAndAnEmptySourceIsAnError)
{
    LumenParsedOptionsInfo options(manager->currentDefaultOptions());
    options.processor = nullptr;
    options.cacheSerializer = nullptr;
    const struct { const char* name; Source source; int expectedCode; } cases[] = {
        {"defaults", red(), 0},
        {"no resource", Source::network(std::shared_ptr<const Resource>()), 5001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Retrievals done;
        manager->retrieveImage(c.source, options, {}, {}, done.handler());
        ASSERT_TRUE(done.waitFor(1));
        EXPECT_EQ(codeOf(done.at(0)), c.expectedCode);
    }
}

// Reads the manager's cache as it goes, as a subclass's own clean-up may.
class ManagerReadingCache final : public ImageCache {
public:
    ManagerReadingCache(const ImageCache& model, std::shared_ptr<LumenManager> manager)
        : ImageCache(Passkey{}, model.memoryStorage(), model.diskStorage()), m_manager(std::move(manager))
    {
    }
    ~ManagerReadingCache() override { (void)m_manager->cache(); }

private:
    const std::shared_ptr<LumenManager> m_manager;
};

TEST_F(ManagerTest, WhatTheManagerReplacesGoesOnceItsGuardIsReleased)
{
    manager->setCache(std::make_shared<ManagerReadingCache>(*cache, manager));
    manager->setCache(cache);
    manager->setDefaultOptions({Option::TargetCache{std::make_shared<ManagerReadingCache>(*cache, manager)}});
    manager->setDefaultOptions({});
}

TEST(CacheCallbackCoordinator, ReportsOnceWhenTheAwaitedStoresHaveAnswered)
{
    using Action = CacheCallbackCoordinator::Action;
    using enum Action;
    const struct { const char* name; bool waitForCache, cacheOriginal; std::vector<Action> actions; int reportedBy; }
        cases[] = {
        {"at once", false, false, {storesStarted, imageStored}, 0},
        {"store answered first", false, false, {imageStored, storesStarted}, 0},
        {"waiting", true, false, {storesStarted, imageStored}, 1},
        {"waiting for both", true, true, {storesStarted, imageStored, originalImageStored}, 2},
        {"original answered first", true, true, {originalImageStored, storesStarted, imageStored}, 2},
        {"image stored before the start, original pending", false, true,
         {imageStored, storesStarted, originalImageStored}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CacheCallbackCoordinator coordinator(c.waitForCache, c.cacheOriginal);
        std::vector<int> reports;
        for (int i = 0; i < static_cast<int>(c.actions.size()); ++i)
            coordinator.apply(c.actions[i], [&reports, i] { reports.push_back(i); });
        coordinator.apply(imageStored, [&reports] { reports.push_back(-1); });
        EXPECT_EQ(reports, std::vector<int>{c.reportedBy});
    }
}

} // namespace
} // namespace Lumen::Testing
