// The image cache beside the plain mechanisms it competes with: memory hits against a
// mutex-guarded hash map of the same keys, and disk hits of a 100 x 100 PNG against a raw
// file read plus QImage decode of the same file.
#include "bench/BenchMain.h"
#include "Lumen/cache/ImageCache.h"
#include "bench/BenchImages.h"
#include "bench/Countdown.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

using namespace Lumen;

constexpr int keyCount = 1024;

const std::vector<QString>& keys()
{
    static const std::vector<QString> all = [] {
        std::vector<QString> made;
        for (int i = 0; i < keyCount; ++i)
            made.push_back(QStringLiteral("https://is1-ssl.example.com/image/thumb/%1/AppIcon.png").arg(i));
        return made;
    }();
    return all;
}

struct Fixture {
    Fixture()
    {
        cache = *ImageCache::make(QStringLiteral("bench"), root.path());
        const ImagePtr image = Image::make(iconBitmap().convertToFormat(QImage::Format_ARGB32_Premultiplied));
        for (const QString& key : keys()) {
            cache->store(image, std::nullopt, key, LumenParsedOptionsInfo(), false);
            lockedMap.emplace(key, image);
        }
        // The memory figures are of hits only.
        for (const QString& key : keys()) {
            if (!cache->retrieveImageInMemoryCache(key, LumenParsedOptionsInfo()))
                std::abort();
        }
        std::mutex mutex;
        std::condition_variable written;
        bool done = false;
        cache->storeToDisk(iconPng(), diskKey, QString(), std::nullopt, std::nullopt, CallbackQueue::untouch(),
                           [&](const CacheStoreResult&) {
                               std::lock_guard lock(mutex);
                               done = true;
                               written.notify_one();
                           });
        std::unique_lock lock(mutex);
        written.wait(lock, [&] { return done; });
        diskPath = *cache->cachePath(diskKey);
    }

    QTemporaryDir root;
    std::shared_ptr<ImageCache> cache;
    std::mutex lockedMapMutex;
    std::unordered_map<QString, ImagePtr> lockedMap;
    const QString diskKey = QStringLiteral("https://is1-ssl.example.com/image/thumb/disk/AppIcon.png");
    QString diskPath;
};

Fixture& fixture()
{
    static Fixture* made = new Fixture;
    return *made;
}

// ---- memory hits -----------------------------------------------------------------------

void BM_MemoryHit_LockedMapBaseline(benchmark::State& state)
{
    Fixture& f = fixture();
    std::size_t i = 0;
    for (auto _ : state) {
        const QString& key = keys()[i++ % keyCount];
        ImagePtr image;
        {
            std::lock_guard lock(f.lockedMapMutex);
            const auto found = f.lockedMap.find(key);
            if (found != f.lockedMap.end())
                image = found->second;
        }
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_MemoryHit_LockedMapBaseline);

void BM_MemoryHit_ImageCache(benchmark::State& state)
{
    Fixture& f = fixture();
    const LumenParsedOptionsInfo options;
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.cache->retrieveImageInMemoryCache(keys()[i++ % keyCount], options));
}
BENCHMARK(BM_MemoryHit_ImageCache);

// The full retrieval with an at-once callback, for the cost of the completion plumbing.
void BM_MemoryHit_ImageCacheRetrieve(benchmark::State& state)
{
    Fixture& f = fixture();
    const LumenParsedOptionsInfo options;
    std::size_t i = 0;
    for (auto _ : state) {
        f.cache->retrieveImage(keys()[i++ % keyCount], options, CallbackQueue::untouch(),
                               [](std::expected<ImageCacheResult, LumenError> result) {
                                   benchmark::DoNotOptimize(result);
                               });
    }
}
BENCHMARK(BM_MemoryHit_ImageCacheRetrieve);

// ---- disk hits of a 100 x 100 PNG ----------------------------------------------------------

void BM_DiskHit_RawReadDecodeBaseline(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        QFile file(f.diskPath);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        QImage image = QImage::fromData(bytes, "PNG");
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_DiskHit_RawReadDecodeBaseline)->Unit(benchmark::kMicrosecond);

// Read on the caller's thread, so the figure is the cache's own work: lookup, file read,
// decode, promotion into memory (and the stamp extension queued behind every hit).
void diskHitSynchronous(benchmark::State& state, const LumenParsedOptionsInfo& options)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        f.cache->clearMemoryCache();
        f.cache->retrieveImage(f.diskKey, options, CallbackQueue::untouch(),
                               [](std::expected<ImageCacheResult, LumenError> result) {
                                   if (!result || result->cacheType() != CacheType::disk)
                                       std::abort();
                                   benchmark::DoNotOptimize(result);
                               });
    }
}

void BM_DiskHit_ImageCacheSynchronous(benchmark::State& state)
{
    diskHitSynchronous(state, LumenParsedOptionsInfo(LumenOptionsInfo{Option::LoadDiskFileSynchronously{}}));
}
BENCHMARK(BM_DiskHit_ImageCacheSynchronous)->Unit(benchmark::kMicrosecond);

// The same without extending the file's life, which spares the last-access read and the
// queued stamp write.
void BM_DiskHit_ImageCacheSynchronousNotExtending(benchmark::State& state)
{
    diskHitSynchronous(state, LumenParsedOptionsInfo(LumenOptionsInfo{
                                  Option::LoadDiskFileSynchronously{},
                                  Option::DiskCacheAccessExtendingExpiration{ExpirationExtending::none()}}));
}
BENCHMARK(BM_DiskHit_ImageCacheSynchronousNotExtending)->Unit(benchmark::kMicrosecond);

// The default road: the read runs on the I/O queue and the caller waits for the answer.
void BM_DiskHit_ImageCacheIOQueue(benchmark::State& state)
{
    Fixture& f = fixture();
    const LumenParsedOptionsInfo options;
    for (auto _ : state) {
        f.cache->clearMemoryCache();
        Countdown answered(1);
        f.cache->retrieveImage(f.diskKey, options, CallbackQueue::untouch(),
                               [&](std::expected<ImageCacheResult, LumenError> result) {
                                   if (!result || result->cacheType() != CacheType::disk)
                                       std::abort();
                                   answered.done();
                               });
        answered.wait();
    }
}
BENCHMARK(BM_DiskHit_ImageCacheIOQueue)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksWithGuiApplication(argc, argv);
}
