// The icon road end to end: N icons (alternately 64 x 64 and 256 x 256 PNG) through
// `LumenManager::retrieveImage` with 1, 6 or 32 retrievals at once, each beside the plain Qt
// road over the same icons in the same run:
// - cold, until every file is on disk: a plain `QNetworkAccessManager` fetch, a `QImage`
//   decode and a raw file write; and the library's cold completions alone, each answered
//   before its file is written;
// - warm disk, a fresh cache over the files of the cold run (the state of a new process):
//   reading and decoding the same files on as many threads, either dropping each image or
//   keeping them all, as a cache that promotes its hits into memory must (fresh memory for
//   every image costs page faults the dropping road never meets);
// - warm memory: a lookup in a mutex-guarded `QHash` of the decoded images.
// Every case reports real time and the CPU time of all threads per icon.
#include "bench/BenchImages.h"
#include "bench/BenchMain.h"
#include "bench/Countdown.h"
#include "Lumen/cache/ImageCache.h"
#include "Lumen/download/ImageDownloader.h"
#include "Lumen/retrieval/ImageResource.h"
#include "Lumen/retrieval/LumenManager.h"
#include "tests/support/LoopbackServer.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace Lumen;
using Tivrand::Testing::LoopbackServer;

struct Server {
    Server()
    {
        server.get(R"(/(\d+)/icon-(\d+)\.png)", [this](const httplib::Request& request, httplib::Response& response) {
            const QByteArray& png = std::stoi(request.matches[2]) % 2 == 0 ? small : large;
            response.set_content(png.constData(), std::size_t(png.size()), "image/png");
        });
        server.start();
    }

    // Icon `index` of a set no earlier request used, so nothing of it is cached anywhere.
    QUrl url(int set, int index) const { return server.url(QStringLiteral("/%1/icon-%2.png").arg(set).arg(index)); }

    const QByteArray small = noisePng({64, 64});
    const QByteArray large = noisePng({256, 256});
    LoopbackServer server;
};

Server& server()
{
    static Server* made = new Server;
    return *made;
}

int nextSet()
{
    static std::atomic<int> set{0};
    return set++;
}

// Runs `work(index)` for every index below `count` on `threads` threads, each taking the next
// index when it is done with one.
template <typename Work>
void onThreads(int threads, int count, const Work& work)
{
    std::atomic<int> next{0};
    std::vector<std::thread> running;
    for (int t = 0; t < threads; ++t)
        running.emplace_back([&] {
            for (int index = next++; index < count; index = next++)
                work(index);
        });
    for (auto& thread : running)
        thread.join();
}

// A cache and manager of their own over `directory`: memory starts empty.
struct Library {
    explicit Library(const QString& directory)
        : cache(*ImageCache::make(QStringLiteral("icons"), directory))
        , manager(LumenManager::make(ImageDownloader::make(QStringLiteral("icons")), cache))
    {
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Work still under way may hold the cache for a moment; only once it is gone, with what it
    // had queued, may its folder go.
    ~Library()
    {
        const std::weak_ptr<ImageCache> released = cache;
        manager.reset();
        cache.reset();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!released.expired()) {
            if (std::chrono::steady_clock::now() > deadline)
                std::abort();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Retrieves every icon of `set`, `concurrency` at a time; each answer must come from
    // `expected`, and, unless `answerBeforeWrite`, only once its file is written.
    void retrieveAll(int set, int count, int concurrency, CacheType expected, bool answerBeforeWrite = false) const
    {
        LumenOptionsInfo items = manager->currentDefaultOptions();
        items.push_back(Option::CallbackQueue{CallbackQueue::untouch()});
        if (!answerBeforeWrite)
            items.push_back(Option::WaitForCache{});
        const LumenParsedOptionsInfo options(items);
        onThreads(concurrency, count, [&](int index) {
            Countdown answered(1);
            manager->retrieveImage(Source::network(LM::ImageResource(server().url(set, index))), options, {}, {},
                                   [&](LumenManager::RetrieveResult result) {
                                       if (!result || result->cacheType != expected)
                                           std::abort();
                                       answered.done();
                                   });
            answered.wait();
        });
    }

    std::shared_ptr<ImageCache> cache;
    std::shared_ptr<LumenManager> manager;
};

// ---- cold: every file on disk -------------------------------------------------------------------

void BM_Cold_PlainQtRoad(benchmark::State& state)
{
    const int count = int(state.range(0));
    const int concurrency = int(state.range(1));
    const QTemporaryDir directory;
    QNetworkAccessManager network;
    const ProcessCpuCounter cpu(state, count);
    for (auto _ : state) {
        const int set = nextSet();
        int started = 0;
        int left = count;
        QEventLoop loop;
        std::function<void()> startNext = [&] {
            const int index = started++;
            QNetworkReply* reply = network.get(QNetworkRequest(server().url(set, index)));
            QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply, index] {
                const QByteArray bytes = reply->readAll();
                reply->deleteLater();
                if (QImage::fromData(bytes, "PNG").isNull())
                    std::abort();
                QFile file(directory.filePath(QStringLiteral("%1-%2").arg(set).arg(index)));
                if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                    std::abort();
                if (--left == 0)
                    loop.quit();
                else if (started < count)
                    startNext();
            });
        };
        for (int i = 0; i < std::min(concurrency, count); ++i)
            startNext();
        loop.exec();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// Either until every file is on disk, or completions alone: each answered as soon as its image
// is ready, its file written after it.
void BM_Cold_LumenManager(benchmark::State& state, bool answerBeforeWrite)
{
    const int count = int(state.range(0));
    const QTemporaryDir directory;
    const Library library(directory.path());
    const ProcessCpuCounter cpu(state, count);
    for (auto _ : state)
        library.retrieveAll(nextSet(), count, int(state.range(1)), CacheType::none, answerBeforeWrite);
    state.SetItemsProcessed(state.iterations() * count);
}

// ---- warm disk and warm memory --------------------------------------------------------------------

// One cold run's files, kept for the warm cases of the same count.
struct Filled {
    QTemporaryDir directory;
    int set = 0;
    std::vector<QString> rawFiles;
};

// Released before the program ends, taking their folders with them.
std::map<int, std::unique_ptr<Filled>>& filledSets()
{
    static std::map<int, std::unique_ptr<Filled>> made;
    return made;
}

const Filled& filled(int count)
{
    auto& entry = filledSets()[count];
    if (!entry) {
        entry = std::make_unique<Filled>();
        entry->set = nextSet();
        Library(entry->directory.path()).retrieveAll(entry->set, count, 32, CacheType::none);
        // The plain road reads files holding what the cache holds.
        const QDir cacheDirectory(entry->directory.path() + QStringLiteral("/com.vantrel.Lumen.ImageCache.icons"));
        for (const QString& name : cacheDirectory.entryList(QDir::Files))
            entry->rawFiles.push_back(cacheDirectory.filePath(name));
        if (int(entry->rawFiles.size()) != count)
            std::abort();
    }
    return *entry;
}

// Either dropping each image once decoded, or keeping every image as a memory cache must.
void BM_WarmDisk_PlainQtRoad(benchmark::State& state, bool keepsImages)
{
    const int count = int(state.range(0));
    const Filled& files = filled(count);
    const ProcessCpuCounter cpu(state, count);
    for (auto _ : state) {
        std::vector<QImage> kept(std::size_t(keepsImages ? count : 0));
        onThreads(int(state.range(1)), count, [&](int index) {
            QFile file(files.rawFiles[std::size_t(index)]);
            QImage image = file.open(QIODevice::ReadOnly) ? QImage::fromData(file.readAll(), "PNG") : QImage();
            if (image.isNull())
                std::abort();
            if (keepsImages)
                kept[std::size_t(index)] = std::move(image);
        });
        state.PauseTiming();
        kept.clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_WarmDisk_LumenManager(benchmark::State& state)
{
    const int count = int(state.range(0));
    const Filled& files = filled(count);
    const ProcessCpuCounter cpu(state, count);
    for (auto _ : state) {
        state.PauseTiming();
        auto library = std::make_unique<Library>(files.directory.path());
        state.ResumeTiming();
        library->retrieveAll(files.set, count, int(state.range(1)), CacheType::disk);
        state.PauseTiming();
        library.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_WarmMemory_PlainQtRoad(benchmark::State& state)
{
    const int count = int(state.range(0));
    const Filled& files = filled(count);
    QHash<QString, QImage> images;
    for (int index = 0; index < count; ++index)
        images.insert(server().url(files.set, index).toString(), QImage(files.rawFiles[std::size_t(index)]));
    std::mutex mutex;
    const ProcessCpuCounter cpu(state, count);
    for (auto _ : state) {
        onThreads(int(state.range(1)), count, [&](int index) {
            const QString key = server().url(files.set, index).toString();
            std::lock_guard lock(mutex);
            if (images.value(key).isNull())
                std::abort();
        });
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_WarmMemory_LumenManager(benchmark::State& state)
{
    const int count = int(state.range(0));
    const Filled& files = filled(count);
    const Library library(files.directory.path());
    library.retrieveAll(files.set, count, 32, CacheType::disk);
    const ProcessCpuCounter cpu(state, count);
    for (auto _ : state)
        library.retrieveAll(files.set, count, int(state.range(1)), CacheType::memory);
    state.SetItemsProcessed(state.iterations() * count);
}

// N and concurrency (8 as well for the warm cases, the machine's cores), each case a fixed
// number of times, so the whole program stays within minutes.
template <int iterations, bool warm>
void roadArguments(benchmark::internal::Benchmark* bench)
{
    bench->ArgNames({"icons", "concurrency"})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(iterations);
    for (const int count : {500, 5000})
        for (const int concurrency : {1, 6, 8, 32})
            if (warm || concurrency != 8)
                bench->Args({count, concurrency});
}

BENCHMARK(BM_Cold_PlainQtRoad)->Apply(roadArguments<1, false>);
BENCHMARK_CAPTURE(BM_Cold_LumenManager, filesOnDisk, false)->Apply(roadArguments<1, false>);
BENCHMARK_CAPTURE(BM_Cold_LumenManager, completions, true)->Apply(roadArguments<1, false>);
BENCHMARK_CAPTURE(BM_WarmDisk_PlainQtRoad, droppingImages, false)->Apply(roadArguments<3, true>);
BENCHMARK_CAPTURE(BM_WarmDisk_PlainQtRoad, keepingImages, true)->Apply(roadArguments<3, true>);
BENCHMARK(BM_WarmDisk_LumenManager)->Apply(roadArguments<3, true>);
BENCHMARK(BM_WarmMemory_PlainQtRoad)->Apply(roadArguments<5, true>);
BENCHMARK(BM_WarmMemory_LumenManager)->Apply(roadArguments<5, true>);

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const QGuiApplication application(argc, argv);
    const int status = runBenchmarks(argc, argv);
    filledSets().clear();
    return status;
}
