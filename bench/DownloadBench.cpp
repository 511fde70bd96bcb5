// The downloader on the loopback server beside a plain QNetworkAccessManager doing the same
// work: one URL asked for by 100 callers at once (transfers counted), the throughput of 1 MiB
// and 10 MiB bodies, the latency of a 10 KiB PNG fetched and decoded, 1,000 distinct URLs at
// once, 500 icons from a host that answers each after 200 ms, 47 at a time, and the peak memory
// of 8 bodies that never end.
#include "bench/BenchImages.h"
#include "bench/BenchMain.h"
#include "bench/Countdown.h"
#include "Lumen/download/ImageDownloader.h"
#include "Lumen/foundation/processors/LivePhotoImageProcessor.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/RawSocketServer.h"

#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

using namespace Lumen;
using Tivrand::Testing::LoopbackServer;
using Tivrand::Testing::RawSocketServer;

// Noise of 512 x 512 pixels a mebibyte: PNG cannot compress it, so the body is about that size.
const std::string& largeBody(int mebibytes)
{
    static std::mutex mutex;
    static std::map<int, std::string> bodies;
    std::lock_guard lock(mutex);
    auto& body = bodies[mebibytes];
    if (body.empty())
        body = noisePng({512, 512 * mebibytes}).toStdString();
    return body;
}

QString largePath(int mebibytes)
{
    return QStringLiteral("/large%1.png").arg(mebibytes);
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
        made->get(R"(/large(\d+)\.png)", [](const auto& request, auto& response) {
            response.set_content(largeBody(std::stoi(request.matches[1])), "image/png");
        });
        made->get(R"(/small.*)", [](const auto&, auto& response) {
            response.set_content(smallImage().toStdString(), "image/png");
        });
        made->start();
        return made;
    }();
    return *running;
}


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

// Raw bytes through the downloader: its processor for files makes no decode, as the plain
// road makes none. The argument is the body's size in MiB.
void BM_Throughput_Downloader(benchmark::State& state)
{
    const int mebibytes = int(state.range(0));
    largeBody(mebibytes);
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    const auto parsed = options(std::make_shared<LivePhotoImageProcessor>());
    for (auto _ : state)
        reportFailures(state, downloadAll(*downloader, largePath(mebibytes), 1, false, parsed));
    state.SetBytesProcessed(state.iterations() * qint64(largeBody(mebibytes).size()));
}
BENCHMARK(BM_Throughput_Downloader)->ArgName("MiB")->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_Throughput_PlainManager(benchmark::State& state)
{
    const int mebibytes = int(state.range(0));
    largeBody(mebibytes);
    QNetworkAccessManager manager;
    for (auto _ : state)
        reportFailures(state, fetchAll(manager, largePath(mebibytes), 1, false, false));
    state.SetBytesProcessed(state.iterations() * qint64(largeBody(mebibytes).size()));
}
BENCHMARK(BM_Throughput_PlainManager)->ArgName("MiB")->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

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

// A host that answers every icon after 200 ms, one per connection.
RawSocketServer::Behaviour slowHost()
{
    return RawSocketServer::respond("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: "
                                        + std::to_string(smallImage().size()) + "\r\nConnection: close\r\n\r\n"
                                        + smallImage().toStdString(),
                                    std::chrono::milliseconds(200));
}

constexpr int slowIcons = 500;
constexpr int iconsAtOnce = 47;

// Starts `count` downloads, `window` at a time, by `start(index, done)`; answers the failures.
int throughWindow(int count, int window, const std::function<void(int, std::function<void(bool)>)>& start)
{
    std::mutex mutex;
    std::condition_variable finished;
    int next = 0;
    int left = count;
    int failures = 0;
    std::function<void(bool)> done;
    const auto startNext = [&] {
        int index;
        {
            std::lock_guard lock(mutex);
            if (next == count)
                return;
            index = next++;
        }
        start(index, done);
    };
    done = [&](bool success) {
        {
            std::lock_guard lock(mutex);
            failures += success ? 0 : 1;
            // The last one touches nothing after this: the waiter may return at once.
            if (--left == 0) {
                finished.notify_all();
                return;
            }
        }
        startNext();
    };
    for (int i = 0; i < window; ++i)
        startNext();
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return left == 0; });
    return failures;
}

void BM_SlowHost500Icons47AtOnce_Downloader(benchmark::State& state)
{
    RawSocketServer host(slowHost());
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    int failures = 0;
    for (auto _ : state) {
        failures = throughWindow(slowIcons, iconsAtOnce, [&](int index, std::function<void(bool)> done) {
            downloader->downloadImage(host.url(QStringLiteral("/icon%1.png").arg(index)), options(),
                                      [done](const auto& result) { done(result.has_value()); });
        });
    }
    state.counters["failed"] = failures;
}
BENCHMARK(BM_SlowHost500Icons47AtOnce_Downloader)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_SlowHost500Icons47AtOnce_PlainManager(benchmark::State& state)
{
    RawSocketServer host(slowHost());
    QNetworkAccessManager manager;
    int failures = 0;
    for (auto _ : state) {
        QEventLoop loop;
        // Replies finish on this thread, so the window needs no lock here but the helper's own.
        std::thread waiter([&] {
            failures = throughWindow(slowIcons, iconsAtOnce, [&](int index, std::function<void(bool)> done) {
                QMetaObject::invokeMethod(&manager, [&manager, &host, index, done] {
                    QNetworkReply* reply = manager.get(QNetworkRequest(host.url(QStringLiteral("/icon%1.png").arg(index))));
                    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done] {
                        const bool success = reply->error() == QNetworkReply::NoError
                            && !QImage::fromData(reply->readAll()).isNull();
                        reply->deleteLater();
                        done(success);
                    });
                });
            });
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit);
        });
        loop.exec();
        waiter.join();
    }
    state.counters["failed"] = failures;
}
BENCHMARK(BM_SlowHost500Icons47AtOnce_PlainManager)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

// The highest resident size above the one at the start while `work` runs, in MiB.
double peakGrowthMiB(const std::function<void()>& work)
{
    const long before = residentKiB();
    std::atomic<bool> running{true};
    std::atomic<long> peak{before};
    std::thread sampler([&] {
        while (running) {
            peak = std::max(peak.load(), residentKiB());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    work();
    running = false;
    sampler.join();
    return double(peak - before) / 1024;
}

constexpr int endlessBodies = 8;

void BM_EightEndlessBodies_Downloader(benchmark::State& state)
{
    RawSocketServer endless(RawSocketServer::endlessBody());
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    const qint64 cap = downloader->sessionConfiguration().maximumResponseBodySize;
    double growth = 0;
    int failures = 0;
    for (auto _ : state) {
        growth = peakGrowthMiB([&] {
            Countdown countdown(endlessBodies);
            for (int i = 0; i < endlessBodies; ++i)
                downloader->downloadImage(endless.url(QStringLiteral("/%1").arg(i)), options(),
                                          [&](const auto& result) { countdown.done(result.has_value()); });
            failures = countdown.wait();
        });
    }
    state.counters["peak_rss_growth_MiB"] = growth;
    state.counters["cap_MiB"] = double(cap) / (1 << 20);
    state.counters["failed_at_cap"] = failures;
}
BENCHMARK(BM_EightEndlessBodies_Downloader)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The plain road to the same limit, each reply read into one buffer until it holds the cap:
// with only one body, as eight at once would hold several gigabytes on a shared machine.
void BM_OneEndlessBody_PlainManager(benchmark::State& state)
{
    constexpr int endlessBodies = 1;
    RawSocketServer endless(RawSocketServer::endlessBody());
    const qint64 cap = URLSessionConfiguration::ephemeral().maximumResponseBodySize;
    QNetworkAccessManager manager;
    double growth = 0;
    for (auto _ : state) {
        growth = peakGrowthMiB([&] {
            QEventLoop loop;
            int left = endlessBodies;
            std::vector<QByteArray> bodies(endlessBodies);
            for (int i = 0; i < endlessBodies; ++i) {
                QNetworkReply* reply = manager.get(QNetworkRequest(endless.url(QStringLiteral("/%1").arg(i))));
                QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&, reply, i] {
                    bodies[i].append(reply->readAll());
                    if (bodies[i].size() > cap && reply->isRunning()) {
                        reply->abort();
                        reply->deleteLater();
                        if (--left == 0)
                            loop.quit();
                    }
                });
            }
            loop.exec();
        });
    }
    state.counters["peak_rss_growth_MiB"] = growth;
}
BENCHMARK(BM_OneEndlessBody_PlainManager)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksWithGuiApplication(argc, argv);
}
