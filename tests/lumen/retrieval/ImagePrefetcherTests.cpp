#include "tests/lumen/retrieval/RetrievalTesting.h"

#include "Lumen/retrieval/ImagePrefetcher.h"

#include <QCoreApplication>
#include <QThread>

namespace Lumen::Testing {
namespace {

using Tivrand::Testing::pumpEvents;
using Tivrand::Testing::waitUntil;

// The completions of a prefetcher, which must arrive on the GUI thread.
struct Report {
    int completions = 0;
    std::size_t skipped = 0;
    std::size_t failed = 0;
    std::size_t completed = 0;

    ImagePrefetcher::SourceCompletionHandler handler()
    {
        return [this](const auto& skippedSources, const auto& failedSources, const auto& completedSources) {
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            ++completions;
            std::tie(skipped, failed, completed) =
                std::tuple(skippedSources.size(), failedSources.size(), completedSources.size());
        };
    }
};

class PrefetcherTest : public ManagerTest {
protected:
    // The red image under a URL of its own.
    Source image(int number) const { return source(QStringLiteral("/image.png?n=%1").arg(number)); }

    std::shared_ptr<ImagePrefetcher> prefetcher(std::vector<Source> sources, Report& report, LumenOptionsInfo items = {})
    {
        items.insert(items.begin(), {Option::TargetCache{cache}, Option::Downloader{downloader}});
        return ImagePrefetcher::make(std::move(sources), items, {}, report.handler());
    }
};

TEST_F(PrefetcherTest, SortsSourcesIntoSkippedCompletedAndFailed)
{
    const struct { LumenOptionsInfo items; std::size_t skipped, completed; } cases[] = {
        {{}, 2, 3},
        {{Option::ForceRefresh{}}, 0, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.skipped);
        for (int cached : {0, 1})
            cache->store(Image::make(QImage(4, 4, QImage::Format_ARGB32)), std::nullopt, image(cached).cacheKey(),
                         QString(), std::nullopt, DefaultCacheSerializer::shared(), false);
        Report report;
        const std::vector<Source> sources{image(0), image(1), image(2), image(3), image(3), source("/status/404")};
        prefetcher(sources, report, c.items)->start();
        ASSERT_TRUE(waitUntil([&] { return report.completions > 0; }, std::chrono::seconds(10)));
        EXPECT_EQ(report.skipped, c.skipped);
        EXPECT_EQ(report.completed, c.completed);
        EXPECT_EQ(report.failed, 1u);
    }
}

// Whether the running loads share one URL or not, stopping fails them and every source never
// started, starts nothing more and reports completion once.
TEST_F(PrefetcherTest, StopCancelsRunningLoadsAndStartsNothingMore)
{
    struct Case { const char* name; std::vector<int> images; int requestsBeforeStop; };
    for (const Case& c : {Case{"distinct", {10, 11, 12, 13, 14}, 2}, Case{"same URL twice", {20, 20, 21, 22, 23}, 1}}) {
        SCOPED_TRACE(c.name);
        server.holdResponses();
        const int hitsBefore = server.totalHits();
        std::vector<Source> sources;
        for (int number : c.images)
            sources.push_back(image(number));
        Report report;
        const auto loader = prefetcher(sources, report);
        loader->setMaxConcurrentDownloads(2);
        loader->start();
        ASSERT_TRUE(waitUntil([&] { return server.totalHits() - hitsBefore == c.requestsBeforeStop; }));
        loader->stop();
        ASSERT_TRUE(waitUntil([&] { return report.completions > 0; }));
        server.releaseResponses();
        pumpEvents(std::chrono::milliseconds(200));
        EXPECT_EQ(report.completions, 1);
        EXPECT_EQ(report.failed, sources.size());
        EXPECT_EQ(server.totalHits() - hitsBefore, c.requestsBeforeStop);
    }
}

// Asked under the very entry the manager stored, at any scale and with a forced extension.
TEST_F(PrefetcherTest, WhatTheManagerCachedIsSkippedWithoutARequest)
{
    const struct { const char* name; LumenOptionsInfo items; } cases[] = {
        {"scale 2", {Option::Processor{processor}, Option::ScaleFactor{2.0}}},
        {"forced extension", {Option::ForcedCacheFileExtension{QStringLiteral("png")}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LumenOptionsInfo stored = c.items;
        stored.push_back(Option::WaitForCache{});
        ASSERT_TRUE(retrieve(red(), stored));
        // Memory knows no extension: only the file tells the entries apart.
        cache->clearMemoryCache();
        const int hits = server.totalHits();
        Report report;
        prefetcher({red()}, report, c.items)->start();
        ASSERT_TRUE(waitUntil([&] { return report.completions > 0; }));
        EXPECT_EQ(report.skipped, 1u);
        EXPECT_EQ(server.totalHits(), hits);
        cache->clearDiskCache();
        drain(*cache);
    }
}

// With memory to be filled too, a disk entry that cannot be read is loaded by the prefetcher
// itself: it counts as loaded, and stopping cancels it.
TEST_F(PrefetcherTest, AnUnreadableDiskEntryIsLoadedAsThePrefetchersOwn)
{
    for (const bool stopped : {false, true}) {
        SCOPED_TRACE(stopped);
        cache->clearMemoryCache();
        cache->storeToDisk(QByteArray("not an image"), red().cacheKey());
        drain(*cache);
        if (stopped)
            server.holdResponses("/image.png");
        const int hits = server.hits("/image.png");
        Report report;
        const auto loader = prefetcher({red()}, report, {Option::AlsoPrefetchToMemory{}});
        loader->start();
        if (stopped) {
            ASSERT_TRUE(waitUntil([&] { return server.hits("/image.png") > hits; }));
            loader->stop();
        }
        ASSERT_TRUE(waitUntil([&] { return report.completions > 0; }));
        server.releaseResponses();
        EXPECT_EQ(server.hits("/image.png"), hits + 1);
        EXPECT_EQ(report.skipped, 0u);
        EXPECT_EQ(report.completed, stopped ? 0u : 1u);
        EXPECT_EQ(report.failed, stopped ? 1u : 0u);
    }
}

} // namespace
} // namespace Lumen::Testing
