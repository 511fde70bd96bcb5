// The downloader on the loopback server beside a plain QNetworkAccessManager doing the same
// work: one URL asked for by 100 callers at once (transfers counted), the throughput of 1 MiB
// and 10 MiB bodies, one at a time and four at once (also as the ratio of rounds taken in
// turn), the latency of a 10 KiB PNG fetched and decoded, 1,000 distinct URLs at once, 500
// icons from 10 origins 47 at a time (with the session's caps and without), 5,000 from 80
// origins at once and host by host (time, peak open sockets, failures under 256 descriptors),
// the CPU of queueing 5,000 and 40,000 tasks, five loads beside peers that crawl, and the peak
// memory of 16 bodies that never end, on 16 origins.
#include "bench/BenchImages.h"
#include "bench/BenchMain.h"
#include "bench/Countdown.h"
#include "Lumen/download/ImageDownloader.h"
#include "Lumen/foundation/processors/LivePhotoImageProcessor.h"
#include "tests/support/DescriptorLimit.h"
#include "tests/support/KeepAliveServer.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/OpenSockets.h"
#include "tests/support/RawSocketServer.h"

#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Lumen;
using Tivrand::Testing::DescriptorLimit;
using Tivrand::Testing::KeepAliveServer;
using Tivrand::Testing::LoopbackServer;
using Tivrand::Testing::openSocketsTo;
using Tivrand::Testing::peakWhile;
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

// Several large bodies at once, raw bytes as above, from a server of their own that keeps its
// connections alive for as long as a client does: a pool of server threads that idle
// connections hold would make either road wait for the other's. The argument is the body's
// size in MiB.
constexpr int bodiesAtOnce = 4;

KeepAliveServer& bodyServer(int mebibytes)
{
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<KeepAliveServer>> servers;
    std::lock_guard lock(mutex);
    auto& server = servers[mebibytes];
    if (!server) {
        const auto body = std::make_shared<const std::string>(largeBody(mebibytes));
        server = std::make_unique<KeepAliveServer>(1, [body](const KeepAliveServer::Request&) {
            return KeepAliveServer::Response{"HTTP/1.1 200 OK\r\nContent-Type: image/png", body};
        });
    }
    return *server;
}

QUrl bodyURL(int mebibytes, int index)
{
    return bodyServer(mebibytes).url(0, QStringLiteral("/body%1.png").arg(index));
}

int downloadBodies(ImageDownloader& downloader, int mebibytes, const LumenParsedOptionsInfo& parsed)
{
    Countdown countdown(bodiesAtOnce);
    for (int i = 0; i < bodiesAtOnce; ++i) {
        downloader.downloadImage(bodyURL(mebibytes, i), parsed, [&](const ImageDownloader::CompletionResult& result) {
            countdown.done(result.has_value());
        });
    }
    return countdown.wait();
}

int fetchBodies(QNetworkAccessManager& manager, int mebibytes)
{
    QEventLoop loop;
    int left = bodiesAtOnce;
    int failures = 0;
    for (int i = 0; i < bodiesAtOnce; ++i) {
        QNetworkReply* reply = manager.get(QNetworkRequest(bodyURL(mebibytes, i)));
        QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply] {
            const QByteArray body = reply->readAll();
            failures += reply->error() == QNetworkReply::NoError && !body.isEmpty() ? 0 : 1;
            reply->deleteLater();
            if (--left == 0)
                loop.quit();
        });
    }
    loop.exec();
    return failures;
}

void BM_FourBodiesAtOnce_Downloader(benchmark::State& state)
{
    const int mebibytes = int(state.range(0));
    bodyServer(mebibytes);
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    const auto parsed = options(std::make_shared<LivePhotoImageProcessor>());
    for (auto _ : state)
        reportFailures(state, downloadBodies(*downloader, mebibytes, parsed));
    state.SetBytesProcessed(state.iterations() * bodiesAtOnce * qint64(largeBody(mebibytes).size()));
}
BENCHMARK(BM_FourBodiesAtOnce_Downloader)->ArgName("MiB")->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_FourBodiesAtOnce_PlainManager(benchmark::State& state)
{
    const int mebibytes = int(state.range(0));
    bodyServer(mebibytes);
    QNetworkAccessManager manager;
    for (auto _ : state)
        reportFailures(state, fetchBodies(manager, mebibytes));
    state.SetBytesProcessed(state.iterations() * bodiesAtOnce * qint64(largeBody(mebibytes).size()));
}
BENCHMARK(BM_FourBodiesAtOnce_PlainManager)->ArgName("MiB")->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// The downloader's road and the plain one taken in turn, each going first in every other round
// (after `setUpRound`), so that the machine's load falls on both alike: the median of their
// rounds' time ratios, and the failures the roads answer.
void downloaderOverPlain(benchmark::State& state, const std::function<void()>& setUpRound,
                         const std::function<int()>& byDownloader, const std::function<int()>& plainly)
{
    std::vector<double> ratios;
    int failures = 0;
    for (bool downloaderFirst = true; auto _ : state) {
        setUpRound();
        std::chrono::steady_clock::duration taken[2] = {};
        for (const bool downloader : {downloaderFirst, !downloaderFirst}) {
            const auto start = std::chrono::steady_clock::now();
            failures += downloader ? byDownloader() : plainly();
            taken[downloader ? 0 : 1] = std::chrono::steady_clock::now() - start;
        }
        ratios.push_back(double(taken[0].count()) / double(taken[1].count()));
        downloaderFirst = !downloaderFirst;
    }
    std::ranges::sort(ratios);
    state.counters["failed"] = failures;
    state.counters["downloader_over_plain"] = ratios[ratios.size() / 2];
}

void BM_FourBodiesAtOnce_DownloaderOverPlain(benchmark::State& state)
{
    const int mebibytes = int(state.range(0));
    bodyServer(mebibytes);
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    const auto parsed = options(std::make_shared<LivePhotoImageProcessor>());
    QNetworkAccessManager manager;
    downloaderOverPlain(
        state, [] {}, [&] { return downloadBodies(*downloader, mebibytes, parsed); },
        [&] { return fetchBodies(manager, mebibytes); });
}
BENCHMARK(BM_FourBodiesAtOnce_DownloaderOverPlain)->ArgName("MiB")->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);

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

// Answers every request with an icon, one per connection.
RawSocketServer::Behaviour iconHost()
{
    return RawSocketServer::respond("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: "
                                    + std::to_string(smallImage().size()) + "\r\nConnection: close\r\n\r\n"
                                    + smallImage().toStdString());
}

// Servers of their own, one per origin, each behaving alike.
class Origins {
public:
    Origins(int count, const RawSocketServer::Behaviour& behaviour)
    {
        for (int i = 0; i < count; ++i)
            m_servers.push_back(std::make_unique<RawSocketServer>(behaviour));
    }
    // The `index`th URL, its origin taken in turn.
    QUrl url(int index) const
    {
        return m_servers[std::size_t(index) % m_servers.size()]->url(QStringLiteral("/icon%1.png").arg(index));
    }
    std::set<int> ports() const
    {
        std::set<int> all;
        for (const auto& server : m_servers)
            all.insert(server->port());
        return all;
    }

private:
    std::vector<std::unique_ptr<RawSocketServer>> m_servers;
};

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

// A downloader whose session has its caps as they come, or lifted so far that none binds.
std::shared_ptr<ImageDownloader> iconDownloader(bool capped)
{
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    if (!capped) {
        auto configuration = URLSessionConfiguration::ephemeral();
        configuration.maximumConnections = std::numeric_limits<int>::max();
        configuration.maximumBufferedBodyBytes = std::numeric_limits<qint64>::max();
        configuration.timeoutIntervalForResource = 0;
        downloader->setSessionConfiguration(configuration);
    }
    return downloader;
}

// Fetches `count` icons from `origins`, `window` at a time; answers the failures.
int fetchIcons(ImageDownloader& downloader, const Origins& origins, int count, int window)
{
    return throughWindow(count, window, [&](int index, std::function<void(bool)> done) {
        downloader.downloadImage(origins.url(index), options(), [done](const auto& result) { done(result.has_value()); });
    });
}

// `count` icons from `originCount` origins, `window` at a time, through the downloader (the
// argument says whether the session's caps hold) or through a plain manager.
void iconsThroughDownloader(benchmark::State& state, int originCount, int count, int window)
{
    const Origins origins(originCount, iconHost());
    const auto downloader = iconDownloader(state.range(0) != 0);
    int failures = 0;
    long peakSockets = 0;
    for (auto _ : state) {
        const long peak = peakWhile([&] { return openSocketsTo(origins.ports()); },
                                    [&] { failures += fetchIcons(*downloader, origins, count, window); });
        peakSockets = std::max(peakSockets, peak);
    }
    state.counters["failed"] = failures;
    state.counters["peak_open_sockets"] = double(peakSockets);
}

// The same through a plain manager, on this thread; answers the failures.
int fetchIconsPlainly(QNetworkAccessManager& manager, const Origins& origins, int count, int window)
{
    QEventLoop loop;
    int failures = 0;
    // Replies finish on this thread, so the window needs no lock here but the helper's own.
    std::thread waiter([&] {
        failures = throughWindow(count, window, [&](int index, std::function<void(bool)> done) {
            QMetaObject::invokeMethod(&manager, [&manager, &origins, index, done] {
                QNetworkReply* reply = manager.get(QNetworkRequest(origins.url(index)));
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
    return failures;
}

void iconsThroughPlainManager(benchmark::State& state, int originCount, int count, int window)
{
    const Origins origins(originCount, iconHost());
    QNetworkAccessManager manager;
    int failures = 0;
    long peakSockets = 0;
    for (auto _ : state) {
        const long peak = peakWhile([&] { return openSocketsTo(origins.ports()); },
                                    [&] { failures += fetchIconsPlainly(manager, origins, count, window); });
        peakSockets = std::max(peakSockets, peak);
    }
    state.counters["failed"] = failures;
    state.counters["peak_open_sockets"] = double(peakSockets);
}

constexpr int iconsAtOnce = 47;

void BM_500IconsFrom10Origins47AtOnce_Downloader(benchmark::State& state)
{
    iconsThroughDownloader(state, 10, 500, iconsAtOnce);
}
BENCHMARK(BM_500IconsFrom10Origins47AtOnce_Downloader)->ArgName("capped")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(3);

void BM_500IconsFrom10Origins47AtOnce_PlainManager(benchmark::State& state)
{
    iconsThroughPlainManager(state, 10, 500, iconsAtOnce);
}
BENCHMARK(BM_500IconsFrom10Origins47AtOnce_PlainManager)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(3);

// The two roads in turn, as for the bodies above, each round on origins of its own.
void BM_500IconsFrom10Origins47AtOnce_DownloaderOverPlain(benchmark::State& state)
{
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    QNetworkAccessManager manager;
    std::unique_ptr<Origins> origins;
    downloaderOverPlain(
        state, [&] { origins = std::make_unique<Origins>(10, iconHost()); },
        [&] { return fetchIcons(*downloader, *origins, 500, iconsAtOnce); },
        [&] { return fetchIconsPlainly(manager, *origins, 500, iconsAtOnce); });
}
BENCHMARK(BM_500IconsFrom10Origins47AtOnce_DownloaderOverPlain)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);

// What the caps cost: rounds with them and without them, taken in turn so that the machine's
// load falls on both alike, each on origins of its own; the ratio of their times.
void BM_500IconsFrom10Origins47AtOnce_CapsCost(benchmark::State& state)
{
    const std::shared_ptr<ImageDownloader> downloaders[] = {iconDownloader(true), iconDownloader(false)};
    std::chrono::steady_clock::duration taken[2] = {};
    int failures = 0;
    for (auto _ : state) {
        for (int round = 0; round < 2; ++round) {
            const Origins origins(10, iconHost());
            const auto start = std::chrono::steady_clock::now();
            failures += fetchIcons(*downloaders[round], origins, 500, iconsAtOnce);
            taken[round] += std::chrono::steady_clock::now() - start;
        }
    }
    state.counters["failed"] = failures;
    state.counters["capped_over_uncapped"] = double(taken[0].count()) / double(taken[1].count());
}
BENCHMARK(BM_500IconsFrom10Origins47AtOnce_CapsCost)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// All asked for at once.
void BM_5000IconsFrom80Origins_Downloader(benchmark::State& state)
{
    iconsThroughDownloader(state, 80, 5000, 5000);
}
BENCHMARK(BM_5000IconsFrom80Origins_Downloader)->ArgName("capped")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(1);

void BM_5000IconsFrom80Origins_PlainManager(benchmark::State& state)
{
    iconsThroughPlainManager(state, 80, 5000, 5000);
}
BENCHMARK(BM_5000IconsFrom80Origins_PlainManager)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(1);

// Origins served by a process of their own, forked before any thread starts, so that the
// descriptors of this process are the client's alone. They keep connections alive as long as
// the client does and answer every request with the icon.
class OriginProcess {
public:
    static constexpr int origins = 80;

    static void start()
    {
        int ends[2];
        if (::pipe(ends) != 0)
            return;
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(ends[0]);
            serve(ends[1]);
        }
        ::close(ends[1]);
        auto& ports = running().m_ports;
        ports.resize(origins);
        const auto wanted = ssize_t(sizeof(int) * origins);
        if (child < 0 || ::read(ends[0], ports.data(), std::size_t(wanted)) != wanted)
            ports.clear();
        ::close(ends[0]);
    }
    static const OriginProcess& instance() { return running(); }

    bool isServing() const { return !m_ports.empty(); }
    // The `index`th of `count` icons asked for host by host: all of an origin's in a row.
    QUrl url(int index, int count) const
    {
        const int port = m_ports[std::size_t(index) * m_ports.size() / std::size_t(count)];
        return QUrl(QStringLiteral("http://127.0.0.1:%1/icon%2.png").arg(port).arg(index));
    }
    std::set<int> ports() const { return {m_ports.begin(), m_ports.end()}; }

private:
    static OriginProcess& running()
    {
        static OriginProcess process;
        return process;
    }

    [[noreturn]] static void serve(int portsOut)
    {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        const auto body = std::make_shared<const std::string>(smallImage().toStdString());
        KeepAliveServer servers(origins, [body](const KeepAliveServer::Request&) {
            return KeepAliveServer::Response{"HTTP/1.1 200 OK\r\nContent-Type: image/png", body};
        });
        (void)!::write(portsOut, servers.ports().data(), sizeof(int) * servers.ports().size());
        ::close(portsOut);
        for (;;)
            ::pause();
    }

    std::vector<int> m_ports;
};

constexpr int hostByHostIcons = 5000;

// 5,000 icons from 80 origins asked for host by host, all at once, by `fetchAll` (which answers
// the failures), within the descriptor limit the argument gives (0: none): time, failures and
// the peak of sockets open to the origins.
void iconsHostByHost(benchmark::State& state, const std::function<int(const OriginProcess&)>& fetchAll)
{
    const auto& origins = OriginProcess::instance();
    if (!origins.isServing()) {
        state.SkipWithError("the origins' process did not start");
        return;
    }
    int failures = 0;
    long peakSockets = 0;
    for (auto _ : state) {
        const DescriptorLimit limit(rlim_t(state.range(0)));
        peakSockets = std::max(peakSockets, peakWhile([&] { return openSocketsTo(origins.ports()); },
                                                      [&] { failures += fetchAll(origins); }));
    }
    state.counters["failed"] = failures;
    state.counters["peak_open_sockets"] = double(peakSockets);
}

void BM_5000IconsFrom80OriginsHostByHost_Downloader(benchmark::State& state)
{
    iconsHostByHost(state, [](const OriginProcess& origins) {
        const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
        Countdown countdown(hostByHostIcons);
        for (int i = 0; i < hostByHostIcons; ++i)
            downloader->downloadImage(origins.url(i, hostByHostIcons), options(),
                                      [&](const auto& result) { countdown.done(result.has_value()); });
        return countdown.wait();
    });
}
BENCHMARK(BM_5000IconsFrom80OriginsHostByHost_Downloader)->ArgName("fd_limit")->Arg(0)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(1);

void BM_5000IconsFrom80OriginsHostByHost_PlainManager(benchmark::State& state)
{
    iconsHostByHost(state, [](const OriginProcess& origins) {
        QNetworkAccessManager manager;
        QEventLoop loop;
        int left = hostByHostIcons;
        int failures = 0;
        for (int i = 0; i < hostByHostIcons; ++i) {
            QNetworkReply* reply = manager.get(QNetworkRequest(origins.url(i, hostByHostIcons)));
            QObject::connect(reply, &QNetworkReply::finished, &loop, [&, reply] {
                failures += reply->error() == QNetworkReply::NoError && !QImage::fromData(reply->readAll()).isNull() ? 0 : 1;
                reply->deleteLater();
                if (--left == 0)
                    loop.quit();
            });
        }
        loop.exec();
        return failures;
    });
}
BENCHMARK(BM_5000IconsFrom80OriginsHostByHost_PlainManager)->ArgName("fd_limit")->Arg(0)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(1);

// The process's CPU seconds to fetch `count` raw icons from the 80 origins, all asked for at
// once, so that nearly all of them wait in the session's queue.
double cpuSecondsToQueue(int count)
{
    const auto& origins = OriginProcess::instance();
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    const auto raw = options(std::make_shared<LivePhotoImageProcessor>());
    const double start = processCpuSeconds();
    Countdown countdown(count);
    for (int i = 0; i < count; ++i)
        downloader->downloadImage(origins.url(i, count), raw, [&](const auto& result) { countdown.done(result.has_value()); });
    countdown.wait();
    return processCpuSeconds() - start;
}

// What queueing eight times the tasks costs: 5,000 and then 40,000 tasks, taken in turn, and
// the ratio of their CPU (8 when the cost per task does not grow with the queue).
void BM_Queueing5000And40000Tasks_CpuRatio(benchmark::State& state)
{
    if (!OriginProcess::instance().isServing()) {
        state.SkipWithError("the origins' process did not start");
        return;
    }
    double seconds[2] = {};
    for (auto _ : state) {
        seconds[0] += cpuSecondsToQueue(5000);
        seconds[1] += cpuSecondsToQueue(40000);
    }
    state.counters["cpu_s_5000"] = seconds[0] / double(state.iterations());
    state.counters["cpu_s_40000"] = seconds[1] / double(state.iterations());
    state.counters["ratio"] = seconds[1] / seconds[0];
}
BENCHMARK(BM_Queueing5000And40000Tasks_CpuRatio)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// With the session's defaults: 63 transfers on 11 origins that send a byte every 500 ms, and
// one that sends 256 KiB at 16 KiB a second, take every connection; then five loads to other
// origins wait. The seconds until the five have their images, and the slow one's outcome.
void BM_CrawlingPeersBesideFiveLoads_Downloader(benchmark::State& state)
{
    const Origins crawling(11, RawSocketServer::trickle(1000000, std::chrono::milliseconds(500)));
    RawSocketServer slow(RawSocketServer::trickle(256 << 10, std::chrono::milliseconds(64), 1024));
    const Origins loads(5, iconHost());
    double loadSeconds = 0;
    double slowSeconds = 0;
    bool slowArrived = false;
    for (auto _ : state) {
        const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
        const auto raw = options(std::make_shared<LivePhotoImageProcessor>());
        Countdown crawlers(63);
        for (int i = 0; i < 63; ++i)
            downloader->downloadImage(crawling.url(i), raw, [&](const auto&) { crawlers.done(); });
        const auto start = std::chrono::steady_clock::now();
        std::atomic<bool> slowDone{false};
        downloader->downloadImage(slow.url(), raw, [&](const auto& result) {
            slowArrived = result.has_value();
            slowSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            slowDone = true;
        });
        // The five come once the others are on the wire.
        std::this_thread::sleep_for(std::chrono::seconds(1));
        Countdown fetched(5);
        for (int i = 0; i < 5; ++i)
            downloader->downloadImage(loads.url(i), options(), [&](const auto& result) { fetched.done(result.has_value()); });
        const auto asked = std::chrono::steady_clock::now();
        if (fetched.wait() > 0)
            state.SkipWithError("a load failed");
        loadSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
        while (!slowDone)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        downloader->cancelAll();
        crawlers.wait();
    }
    state.counters["five_loads_s"] = loadSeconds;
    state.counters["slow_one_arrived"] = slowArrived;
    state.counters["slow_one_s"] = slowSeconds;
}
BENCHMARK(BM_CrawlingPeersBesideFiveLoads_Downloader)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

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
    return double(peakWhile(residentKiB, work) - before) / 1024;
}

constexpr int endlessBodies = 16;

// Each body on an origin of its own, so no per-host cap holds them back: only the session's
// budget bounds what they hold together.
void BM_SixteenEndlessBodiesOn16Origins_Downloader(benchmark::State& state)
{
    const Origins endless(endlessBodies, RawSocketServer::endlessBody());
    const auto downloader = ImageDownloader::make(QStringLiteral("bench"));
    const auto configuration = downloader->sessionConfiguration();
    double growth = 0;
    int failures = 0;
    for (auto _ : state) {
        growth = peakGrowthMiB([&] {
            Countdown countdown(endlessBodies);
            for (int i = 0; i < endlessBodies; ++i)
                downloader->downloadImage(endless.url(i), options(),
                                          [&](const auto& result) { countdown.done(result.has_value()); });
            failures = countdown.wait();
        });
    }
    state.counters["peak_rss_growth_MiB"] = growth;
    state.counters["cap_per_body_MiB"] = double(configuration.maximumResponseBodySize) / (1 << 20);
    state.counters["budget_MiB"] = double(configuration.maximumBufferedBodyBytes) / (1 << 20);
    state.counters["failed"] = failures;
}
BENCHMARK(BM_SixteenEndlessBodiesOn16Origins_Downloader)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The plain road to the per-body cap, the reply read into one buffer until it holds the cap:
// with only one body, as sixteen at once would hold four gigabytes on a shared machine.
void BM_OneEndlessBody_PlainManager(benchmark::State& state)
{
    RawSocketServer endless(RawSocketServer::endlessBody());
    const qint64 cap = URLSessionConfiguration::ephemeral().maximumResponseBodySize;
    QNetworkAccessManager manager;
    double growth = 0;
    for (auto _ : state) {
        growth = peakGrowthMiB([&] {
            QEventLoop loop;
            QByteArray body;
            QNetworkReply* reply = manager.get(QNetworkRequest(endless.url()));
            QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&, reply] {
                body.append(reply->readAll());
                if (body.size() > cap) {
                    QObject::disconnect(reply, nullptr, &loop, nullptr);
                    reply->deleteLater();
                    loop.quit();
                }
            });
            loop.exec();
        });
    }
    state.counters["peak_rss_growth_MiB"] = growth;
}
BENCHMARK(BM_OneEndlessBody_PlainManager)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    // Before any thread starts.
    OriginProcess::start();
    return runBenchmarksWithGuiApplication(argc, argv);
}
