// The downloader on the loopback server beside a plain QNetworkAccessManager doing the same
// work: one URL asked for by 100 callers at once (transfers counted), the throughput of 1 MiB
// and 10 MiB bodies, the latency of a 10 KiB PNG fetched and decoded, 1,000 distinct URLs at
// once, 500 icons from 10 origins 47 at a time (with the session's caps and without) and 5,000
// from 80 origins at once (time and peak open sockets), and the peak memory of 16 bodies that
// never end, on 16 origins.
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

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
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

// Client sockets open to `ports` (connecting, connected, or closed by the server only), as the
// kernel's socket table lists them; -1 when it cannot be read.
int openSocketsTo(const std::set<int>& ports)
{
    const int diag = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (diag < 0)
        return -1;
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } query{};
    query.header.nlmsg_len = sizeof query;
    query.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    query.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    query.request.sdiag_family = AF_INET;
    query.request.sdiag_protocol = IPPROTO_TCP;
    query.request.idiag_states = (1 << TCP_ESTABLISHED) | (1 << TCP_SYN_SENT) | (1 << TCP_CLOSE_WAIT);
    int open = ::send(diag, &query, sizeof query, 0) == sizeof query ? 0 : -1;
    alignas(nlmsghdr) char buffer[64 * 1024];
    for (bool done = open < 0; !done;) {
        const ssize_t received = ::recv(diag, buffer, sizeof buffer, 0);
        if (received <= 0)
            break;
        int left = int(received);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); !done && NLMSG_OK(header, left);
             header = NLMSG_NEXT(header, left)) {
            done = header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR;
            const auto* entry = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
            if (!done && ports.contains(ntohs(entry->id.idiag_dport)))
                ++open;
        }
    }
    ::close(diag);
    return open;
}

// The highest value `sample` gives while `work` runs, sampled every few milliseconds.
long peakWhile(const std::function<long()>& sample, const std::function<void()>& work)
{
    std::atomic<bool> running{true};
    std::atomic<long> peak{sample()};
    std::thread sampler([&] {
        while (running) {
            peak = std::max(peak.load(), sample());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    work();
    running = false;
    sampler.join();
    return peak;
}

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

void iconsThroughPlainManager(benchmark::State& state, int originCount, int count, int window)
{
    const Origins origins(originCount, iconHost());
    QNetworkAccessManager manager;
    int failures = 0;
    long peakSockets = 0;
    for (auto _ : state) {
        QEventLoop loop;
        // Replies finish on this thread, so the window needs no lock here but the helper's own.
        std::thread waiter([&] {
            failures += throughWindow(count, window, [&](int index, std::function<void(bool)> done) {
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
        const long peak = peakWhile([&] { return openSocketsTo(origins.ports()); }, [&] { loop.exec(); });
        waiter.join();
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
    return runBenchmarksWithGuiApplication(argc, argv);
}
