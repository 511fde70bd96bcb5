// The downloader on the loopback server beside a plain QNetworkAccessManager doing the same
// work: one URL asked for by 100 callers at once (transfers counted), the throughput of 1 MiB
// bodies, the latency of a 10 KiB PNG fetched and decoded, and 1,000 distinct URLs at once.
#include "bench/BenchImages.h"
#include "bench/BenchMain.h"
#include "Lumen/download/ImageDownloader.h"
#include "Lumen/foundation/processors/LivePhotoImageProcessor.h"
#include "tests/support/LoopbackServer.h"

#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <sys/resource.h>

#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace {

using namespace Lumen;
using Tivrand::Testing::LoopbackServer;

// 512 x 512 of noise: PNG cannot compress it, so the body is about 1 MiB.
const QByteArray& largeBody()
{
    static const QByteArray body = noisePng({512, 512});
    return body;
}

// About 10 KiB.
const QByteArray& smallImage()
{
    static const QByteArray body = noisePng({50, 50});
    return body;
}

LoopbackServer& server()
{
    static LoopbackServer* const running = [] {
        auto* made = new LoopbackServer;
        made->get("/large.png", [](const auto&, auto& response) {
            response.set_content(largeBody().toStdString(), "image/png");
        });
        made->get(R"(/small.*)", [](const auto&, auto& response) {
            response.set_content(smallImage().toStdString(), "image/png");
        });
        made->start();
        return made;
    }();
    return *running;
}

// Counts completions down from any thread.
class Countdown {
public:
    explicit Countdown(int count) : m_left(count) {}
    void done(bool success)
    {
        std::lock_guard lock(m_mutex);
        m_failures += success ? 0 : 1;
        if (--m_left == 0)
            m_finished.notify_all();
    }
    int wait()
    {
        std::unique_lock lock(m_mutex);
        m_finished.wait(lock, [&] { return m_left == 0; });
        return m_failures;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_finished;
    int m_left;
    int m_failures = 0;
};

LumenParsedOptionsInfo options(std::shared_ptr<const ImageProcessor> processor = nullptr)
{
    LumenParsedOptionsInfo parsed;
    parsed.callbackQueue = CallbackQueue::untouch();
    if (processor)
        parsed.processor = std::move(processor);
    return parsed;
}

// The downloader for `count` URLs from `path` (with a distinct query each when `distinct`).
int downloadAll(ImageDownloader& downloader, const QString& path, int count, bool distinct,
                const LumenParsedOptionsInfo& parsed)
{
    Countdown countdown(count);
    for (int i = 0; i < count; ++i) {
        const QUrl url = server().url(distinct ? path + QStringLiteral("?n=%1").arg(i) : path);
        downloader.downloadImage(url, parsed, [&](const ImageDownloader::CompletionResult& result) {
            countdown.done(result.has_value());
        });
    }
    return countdown.wait();
}

// The plain baseline: the same requests on a QNetworkAccessManager, optionally decoding.
int fetchAll(QNetworkAccessManager& manager, const QString& path, int count, bool distinct, bool decode)
{
    QEventLoop loop;
    int left = count;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        QNetworkRequest request(server().url(distinct ? path + QStringLiteral("?n=%1").arg(i) : path));
        QNetworkReply* reply = manager.get(request);
        QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply] {
            const QByteArray body = reply->readAll();
            bool success = reply->error() == QNetworkReply::NoError;
            if (decode)
                success = success && !QImage::fromData(body).isNull();
            failures += success ? 0 : 1;
            reply->deleteLater();
            if (--left == 0)
                loop.quit();
        });
    }
    loop.exec();
    return failures;
}

void reportFailures(benchmark::State& state, int failures)
{
    if (failures > 0)
        state.SkipWithError("a download failed");
}

void BM_OneURL100Callers_Downloader(benchmark::State& state)
{
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    const int before = server().hits("/small-shared.png");
    int rounds = 0;
    for (auto _ : state) {
        server().holdResponses("/small-shared.png");
        Countdown countdown(100);
        for (int i = 0; i < 100; ++i) {
            downloader->downloadImage(server().url(QStringLiteral("/small-shared.png")), options(),
                                      [&](const auto& result) { countdown.done(result.has_value()); });
        }
        server().releaseResponses();
        reportFailures(state, countdown.wait());
        ++rounds;
    }
    state.counters["transfers_per_round"] = double(server().hits("/small-shared.png") - before) / rounds;
}
BENCHMARK(BM_OneURL100Callers_Downloader)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_OneURL100Callers_PlainManager(benchmark::State& state)
{
    QNetworkAccessManager manager;
    const int before = server().hits("/small-plain.png");
    int rounds = 0;
    for (auto _ : state) {
        reportFailures(state, fetchAll(manager, QStringLiteral("/small-plain.png"), 100, false, true));
        ++rounds;
    }
    state.counters["transfers_per_round"] = double(server().hits("/small-plain.png") - before) / rounds;
}
BENCHMARK(BM_OneURL100Callers_PlainManager)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// Raw bytes through the downloader: its processor for files makes no decode.
void BM_Throughput1MiB_Downloader(benchmark::State& state)
{
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    const auto parsed = options(std::make_shared<LivePhotoImageProcessor>());
    for (auto _ : state)
        reportFailures(state, downloadAll(*downloader, QStringLiteral("/large.png"), 1, false, parsed));
    state.SetBytesProcessed(state.iterations() * largeBody().size());
}
BENCHMARK(BM_Throughput1MiB_Downloader)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_Throughput1MiB_PlainManager(benchmark::State& state)
{
    QNetworkAccessManager manager;
    for (auto _ : state)
        reportFailures(state, fetchAll(manager, QStringLiteral("/large.png"), 1, false, false));
    state.SetBytesProcessed(state.iterations() * largeBody().size());
}
BENCHMARK(BM_Throughput1MiB_PlainManager)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_Latency10KiBDecoded_Downloader(benchmark::State& state)
{
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    for (auto _ : state)
        reportFailures(state, downloadAll(*downloader, QStringLiteral("/small.png"), 1, false, options()));
}
BENCHMARK(BM_Latency10KiBDecoded_Downloader)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_Latency10KiBDecoded_PlainManager(benchmark::State& state)
{
    QNetworkAccessManager manager;
    for (auto _ : state)
        reportFailures(state, fetchAll(manager, QStringLiteral("/small.png"), 1, false, true));
}
BENCHMARK(BM_Latency10KiBDecoded_PlainManager)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_Distinct1000URLs_Downloader(benchmark::State& state)
{
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    for (auto _ : state)
        reportFailures(state, downloadAll(*downloader, QStringLiteral("/small-distinct.png"), 1000, true, options()));
    state.counters["peak_rss_MiB"] = double(peakResidentKiB()) / 1024;
}
BENCHMARK(BM_Distinct1000URLs_Downloader)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);

void BM_Distinct1000URLs_PlainManager(benchmark::State& state)
{
    QNetworkAccessManager manager;
    for (auto _ : state)
        reportFailures(state, fetchAll(manager, QStringLiteral("/small-distinct.png"), 1000, true, true));
    state.counters["peak_rss_MiB"] = double(peakResidentKiB()) / 1024;
}
BENCHMARK(BM_Distinct1000URLs_PlainManager)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksWithGuiApplication(argc, argv);
}
