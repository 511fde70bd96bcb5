// The prefetcher warming an emptied cache with 500 distinct images from the loopback server,
// beside a plain QNetworkAccessManager fetching and decoding the same 500 with as many
// requests at once as the prefetcher's default limit.
#include "bench/BenchImages.h"
#include "bench/BenchMain.h"
#include "Lumen/cache/ImageCache.h"
#include "Lumen/download/ImageDownloader.h"
#include "Lumen/foundation/LibraryDefaults.h"
#include "Lumen/retrieval/ImagePrefetcher.h"
#include "tests/support/LoopbackServer.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

namespace {

using namespace Lumen;
using Tivrand::Testing::LoopbackServer;

constexpr int imageCount = 500;

// About 10 KiB of noise as PNG.
const QByteArray& imageBytes()
{
    static const QByteArray bytes = noisePng({50, 50});
    return bytes;
}

LoopbackServer& server()
{
    static LoopbackServer* const running = [] {
        auto* made = new LoopbackServer;
        made->get(R"(/image/\d+\.png)", [](const auto&, auto& response) {
            response.set_content(imageBytes().toStdString(), "image/png");
        });
        made->start();
        return made;
    }();
    return *running;
}

const std::vector<QUrl>& imageURLs()
{
    static const std::vector<QUrl> urls = [] {
        std::vector<QUrl> made;
        for (int i = 0; i < imageCount; ++i)
            made.push_back(server().url(QStringLiteral("/image/%1.png").arg(i)));
        return made;
    }();
    return urls;
}

void reportFailures(benchmark::State& state, std::size_t failures)
{
    if (failures > 0)
        state.SkipWithError("a load failed");
}

void emptyCache(ImageCache& cache)
{
    const auto cleared = cache.clearCacheAsync();
    while (!cleared.isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void BM_Prefetch500_Prefetcher(benchmark::State& state)
{
    QTemporaryDir folder;
    const auto cache = *ImageCache::make(QStringLiteral("bench"), folder.path());
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    for (auto _ : state) {
        state.PauseTiming();
        emptyCache(*cache);
        state.ResumeTiming();
        QEventLoop loop;
        std::size_t failures = 0;
        ImagePrefetcher::make(imageURLs(), LumenOptionsInfo{Option::TargetCache{cache}, Option::Downloader{downloader}},
                              {},
                              [&](const auto&, const auto& failed, const auto&) {
                                  failures = failed.size();
                                  loop.quit();
                              })
            ->start();
        loop.exec();
        reportFailures(state, failures);
    }
    emptyCache(*cache);
    state.SetItemsProcessed(state.iterations() * imageCount);
}
BENCHMARK(BM_Prefetch500_Prefetcher)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// Keeps as many requests in flight as the prefetcher, each reply decoded.
void BM_Prefetch500_PlainManager(benchmark::State& state)
{
    QNetworkAccessManager manager;
    for (auto _ : state) {
        QEventLoop loop;
        std::size_t next = 0;
        std::size_t left = imageURLs().size();
        std::size_t failures = 0;
        std::function<void()> requestNext = [&] {
            QNetworkReply* reply = manager.get(QNetworkRequest(imageURLs()[next++]));
            QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply] {
                const bool decoded =
                    reply->error() == QNetworkReply::NoError && !QImage::fromData(reply->readAll()).isNull();
                failures += decoded ? 0 : 1;
                reply->deleteLater();
                if (next < imageURLs().size())
                    requestNext();
                if (--left == 0)
                    loop.quit();
            });
        };
        for (int i = 0; i < Defaults::prefetcherMaxConcurrentDownloads; ++i)
            requestNext();
        loop.exec();
        reportFailures(state, failures);
    }
    state.SetItemsProcessed(state.iterations() * imageCount);
}
BENCHMARK(BM_Prefetch500_PlainManager)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksWithGuiApplication(argc, argv);
}
