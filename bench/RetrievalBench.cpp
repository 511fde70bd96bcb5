// The retrieval manager beside what it is made of: a memory hit against the cache's own
// retrieval of the same key; a cold retrieval of a 100 x 100 PNG against a plain fetch, a
// QImage decode and a raw file write; and 1,000 retrievals of 100 URLs from 8 threads, which
// must share 100 transfers and answer each retrieval once, also when a tenth of them are
// cancelled, against 100 plain parallel fetches and against the same 100 fetches through the
// manager's downloader alone (the downloader's share). Each case sets up the cache state it
// measures and waits for the disk writes that earlier work left queued before it times
// anything, so they may run in any order (`--benchmark_enable_random_interleaving`). The
// cache's folder goes when the program ends.
#include "bench/BenchMain.h"
#include "bench/Countdown.h"
#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/cache/ImageCache.h"
#include "Lumen/download/DownloadTask.h"
#include "Lumen/download/ImageDownloader.h"
#include "Lumen/retrieval/ImageResource.h"
#include "Lumen/retrieval/LumenManager.h"
#include "bench/BenchImages.h"
#include "tests/support/LoopbackServer.h"

#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace Lumen;
using Tivrand::Testing::LoopbackServer;


struct Fixture {
    Fixture()
    {
        server.get(R"(/icons/.+\.png)", [this](const auto&, httplib::Response& response) {
            response.set_content(png.toStdString(), "image/png");
        });
        server.start();
        cache = *ImageCache::make(QStringLiteral("bench"), root.path());
        manager = LumenManager::make(ImageDownloader::make(QStringLiteral("bench")), cache);
        cachedSource.emplace(Source::network(LM::ImageResource(freshURL())));
        retrieveAndWait(*cachedSource, options());
    }

    ~Fixture()
    {
        drainCache();
        // A job that ran a completion may hold the cache a moment; the folder goes after it.
        const std::weak_ptr<ImageCache> released = cache;
        manager.reset();
        cache.reset();
        for (int waited = 0; !released.expired() && waited < 10'000; ++waited)
            QThread::msleep(1);
    }

    // Waits for every disk write queued so far, encoding included.
    void drainCache()
    {
        Countdown written(1);
        cache->storeToDisk(QByteArray("x"), QStringLiteral("drain-marker"), QString(), std::nullopt,
                           StorageExpiration::expired(), CallbackQueue::untouch(),
                           [&](const CacheStoreResult&) { written.done(); });
        written.wait();
    }

    // Brings the cached source back into memory, wherever it is now.
    void keepCachedSourceInMemory()
    {
        Countdown answered(1);
        manager->retrieveImage(*cachedSource, options(), {}, {}, [&](const LumenManager::RetrieveResult& result) {
            answered.done(result.has_value());
        });
        if (answered.wait() != 0)
            std::abort();
    }

    // A URL no earlier request used, so nothing of it is cached anywhere.
    QUrl freshURL()
    {
        return server.url(QStringLiteral("/icons/%1.png").arg(next++));
    }

    // The manager's options of every case: results at once on the thread that has them.
    LumenParsedOptionsInfo options(LumenOptionsInfo extra = {}) const
    {
        LumenOptionsInfo items = manager->currentDefaultOptions();
        items.push_back(Option::CallbackQueue{CallbackQueue::untouch()});
        items.insert(items.end(), extra.begin(), extra.end());
        return LumenParsedOptionsInfo(items);
    }

    void retrieveAndWait(const Source& source, const LumenParsedOptionsInfo& options)
    {
        Countdown answered(1);
        manager->retrieveImage(source, options, {}, {}, [&](LumenManager::RetrieveResult result) {
            if (!result || result->cacheType != CacheType::none)
                std::abort();
            answered.done();
        });
        answered.wait();
    }

    const QByteArray png = iconPng();
    QTemporaryDir root;
    LoopbackServer server;
    std::shared_ptr<ImageCache> cache;
    std::shared_ptr<LumenManager> manager;
    int next = 0;
    // In memory for the memory-hit cases.
    std::optional<Source> cachedSource;
};

std::unique_ptr<Fixture> made;

// The fixture, once no write of earlier work is left to compete with the case about to run.
Fixture& fixture()
{
    if (!made)
        made = std::make_unique<Fixture>();
    made->drainCache();
    return *made;
}

// ---- memory hits ---------------------------------------------------------------------------

void BM_MemoryHit_ImageCacheRetrieveBaseline(benchmark::State& state)
{
    Fixture& f = fixture();
    f.keepCachedSourceInMemory();
    const LumenParsedOptionsInfo options = f.options();
    const QString key = f.cachedSource->cacheKey();
    for (auto _ : state) {
        f.cache->retrieveImage(key, options, CallbackQueue::untouch(),
                               [](std::expected<ImageCacheResult, LumenError> result) {
                                   if (!result || result->cacheType() != CacheType::memory)
                                       std::abort();
                                   benchmark::DoNotOptimize(result);
                               });
    }
}
BENCHMARK(BM_MemoryHit_ImageCacheRetrieveBaseline);

void BM_MemoryHit_LumenManager(benchmark::State& state)
{
    Fixture& f = fixture();
    f.keepCachedSourceInMemory();
    const LumenParsedOptionsInfo options = f.options();
    for (auto _ : state) {
        f.manager->retrieveImage(*f.cachedSource, options, {}, {}, [](LumenManager::RetrieveResult result) {
            if (!result || result->cacheType != CacheType::memory)
                std::abort();
            benchmark::DoNotOptimize(result);
        });
    }
}
BENCHMARK(BM_MemoryHit_LumenManager);

// ---- cold retrieval of a 100 x 100 PNG ----------------------------------------------------------

void BM_Cold_FetchDecodeWriteBaseline(benchmark::State& state)
{
    Fixture& f = fixture();
    QNetworkAccessManager network;
    int written = 0;
    for (auto _ : state) {
        QNetworkReply* reply = network.get(QNetworkRequest(f.freshURL()));
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const QByteArray bytes = reply->readAll();
        reply->deleteLater();
        const QImage image = QImage::fromData(bytes, "PNG");
        if (image.isNull())
            std::abort();
        QFile file(f.root.path() + QStringLiteral("/raw-%1.png").arg(written++));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            std::abort();
    }
}
BENCHMARK(BM_Cold_FetchDecodeWriteBaseline)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

// Waits for the cache, so the file is written when the retrieval answers. The default serializer
// encodes the decoded image anew for the disk.
void BM_Cold_LumenManager(benchmark::State& state)
{
    Fixture& f = fixture();
    const LumenParsedOptionsInfo options = f.options({Option::WaitForCache{}});
    for (auto _ : state)
        f.retrieveAndWait(Source::network(LM::ImageResource(f.freshURL())), options);
}
BENCHMARK(BM_Cold_LumenManager)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

// The cache keeps the bytes as they came, as the baseline writes them, instead of encoding the
// decoded image anew.
void BM_Cold_LumenManagerOriginalBytes(benchmark::State& state)
{
    Fixture& f = fixture();
    auto serializer = std::make_shared<DefaultCacheSerializer>();
    serializer->preferCacheOriginalData = true;
    const LumenParsedOptionsInfo options = f.options({Option::WaitForCache{}, Option::CacheSerializer{serializer}});
    for (auto _ : state)
        f.retrieveAndWait(Source::network(LM::ImageResource(f.freshURL())), options);
}
BENCHMARK(BM_Cold_LumenManagerOriginalBytes)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();
// ---- 1,000 retrievals of 100 URLs from 8 threads ------------------------------------------------

constexpr int urlCount = 100;
constexpr int threadCount = 8;
constexpr int retrievalsPerThread = 125;

void BM_Concurrent_PlainParallelFetchBaseline(benchmark::State& state)
{
    Fixture& f = fixture();
    QNetworkAccessManager network;
    for (auto _ : state) {
        int left = urlCount;
        QEventLoop loop;
        for (int i = 0; i < urlCount; ++i) {
            QNetworkReply* reply = network.get(QNetworkRequest(f.freshURL()));
            QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply] {
                if (QImage::fromData(reply->readAll(), "PNG").isNull())
                    std::abort();
                reply->deleteLater();
                if (--left == 0)
                    loop.quit();
            });
        }
        loop.exec();
    }
}
BENCHMARK(BM_Concurrent_PlainParallelFetchBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// The same 100 fetches and decodes through the manager's downloader alone, with no cache: the
// share of the retrievals below that is the downloader's.
void BM_Concurrent_DownloaderAloneBaseline(benchmark::State& state)
{
    Fixture& f = fixture();
    const LumenParsedOptionsInfo options = f.options();
    const auto downloader = f.manager->downloader();
    for (auto _ : state) {
        Countdown answered(urlCount);
        for (int i = 0; i < urlCount; ++i)
            downloader->downloadImage(f.freshURL(), options, [&](const ImageDownloader::CompletionResult& result) {
                answered.done(result.has_value());
            });
        if (answered.wait() != 0)
            std::abort();
    }
}
BENCHMARK(BM_Concurrent_DownloaderAloneBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// 1,000 retrievals, spread over 100 fresh URLs, made from 8 threads at once; with `cancelling`, each
// thread then cancels a random tenth of the ones it made while the loads go on. Answers the
// transfers the server saw. Aborts unless every retrieval is answered exactly once, and every one
// not cancelled with its image.
int retrieveConcurrently(Fixture& f, const LumenParsedOptionsInfo& options, bool cancelling, int& cancelled)
{
    std::vector<Source> sources;
    for (int i = 0; i < urlCount; ++i)
        sources.push_back(Source::network(LM::ImageResource(f.freshURL())));
    const int hitsBefore = f.server.totalHits();

    constexpr int retrievals = threadCount * retrievalsPerThread;
    const auto answers = std::make_shared<std::vector<std::atomic<int>>>(retrievals);
    const auto failed = std::make_shared<std::vector<std::atomic<bool>>>(retrievals);
    Countdown answered(retrievals);
    // Bytes, not bits: threads write neighbouring entries.
    std::vector<char> cancelledOnes(retrievals);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            std::vector<std::shared_ptr<DownloadTask>> tasks(retrievalsPerThread);
            for (int i = 0; i < retrievalsPerThread; ++i) {
                const int retrieval = t * retrievalsPerThread + i;
                tasks[i] = f.manager->retrieveImage(sources[retrieval % urlCount], options, {}, {},
                                                    [&, answers, failed, retrieval](LumenManager::RetrieveResult result) {
                                                        (*failed)[retrieval] = !result;
                                                        if (++(*answers)[retrieval] == 1)
                                                            answered.done();
                                                    });
            }
            if (!cancelling)
                return;
            std::mt19937 random(t);
            for (int i = 0; i < retrievalsPerThread; ++i) {
                if (random() % 10 == 0 && tasks[i]) {
                    tasks[i]->cancel();
                    cancelledOnes[t * retrievalsPerThread + i] = true;
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    answered.wait();
    cancelled = int(std::ranges::count(cancelledOnes, true));
    for (int retrieval = 0; retrieval < retrievals; ++retrieval) {
        if ((*answers)[retrieval] != 1 || ((*failed)[retrieval] && !cancelledOnes[retrieval]))
            std::abort();
    }
    return f.server.totalHits() - hitsBefore;
}

// The server answers at once: a caller arriving while a URL's transfer runs, or between its end
// and the store of its image, shares it all the same. "transfers" must be 100.
void BM_Concurrent_LumenManager(benchmark::State& state)
{
    Fixture& f = fixture();
    const LumenParsedOptionsInfo options = f.options();
    int transfers = 0;
    int cancelled = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.drainCache();
        state.ResumeTiming();
        transfers = retrieveConcurrently(f, options, false, cancelled);
        if (transfers != urlCount)
            std::abort();
    }
    state.counters["transfers"] = transfers;
}
BENCHMARK(BM_Concurrent_LumenManager)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// As above, a tenth of the retrievals cancelled at random as the loads go on: no more than 100
// transfers, and each cancelled retrieval answered once, by its cancel or its image.
void BM_Concurrent_LumenManagerTenthCancelled(benchmark::State& state)
{
    Fixture& f = fixture();
    const LumenParsedOptionsInfo options = f.options();
    int transfers = 0;
    int cancelled = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.drainCache();
        state.ResumeTiming();
        transfers = retrieveConcurrently(f, options, true, cancelled);
        if (transfers > urlCount)
            std::abort();
    }
    state.counters["transfers"] = transfers;
    state.counters["cancelled"] = cancelled;
}
BENCHMARK(BM_Concurrent_LumenManagerTenthCancelled)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    const int status = runBenchmarks(argc, argv);
    made.reset();
    return status;
}
