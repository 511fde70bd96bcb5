// The cache storages beside the plain mechanisms they compete with: memory hits against a
// mutex-guarded hash map, disk reads and writes against raw file calls, and the whole-
// directory passes against a bare walk with lstat.
#include "Lumen/cache/DiskFileName.h"
#include "Lumen/cache/DiskStorageBackend.h"
#include "Lumen/cache/MemoryStorageBackend.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace Lumen;

struct CachedValue {
    std::shared_ptr<int> payload;
    friend std::int64_t cacheCost(const CachedValue&) { return 1; }
};

constexpr int keyCount = 1024;

const std::vector<QString>& keys()
{
    static const std::vector<QString> all = [] {
        std::vector<QString> made;
        for (int i = 0; i < keyCount; ++i)
            made.push_back(QStringLiteral("https://is1-ssl.example.com/image/thumb/%1/AppIcon.png@com.vantrel.Lumen.Resizing").arg(i));
        return made;
    }();
    return all;
}

// ---- memory hits ----------------------------------------------------------------

struct LockedMap {
    std::mutex mutex;
    std::unordered_map<QString, CachedValue> values;
};

LockedMap& lockedMap()
{
    static LockedMap* map = [] {
        auto* made = new LockedMap;
        for (const QString& key : keys())
            made->values.emplace(key, CachedValue{std::make_shared<int>(1)});
        return made;
    }();
    return *map;
}

MemoryStorageBackend<CachedValue>& memoryStorage()
{
    static const auto storage = [] {
        auto made = MemoryStorageBackend<CachedValue>::make(MemoryStorageConfig(0, std::chrono::seconds(120)));
        for (const QString& key : keys())
            made->store(CachedValue{std::make_shared<int>(1)}, key);
        return made;
    }();
    return *storage;
}

void BM_MemoryHit_MutexMapBaseline(benchmark::State& state)
{
    LockedMap& map = lockedMap();
    int next = static_cast<int>(state.thread_index()) * 97;
    for (auto _ : state) {
        const QString& key = keys()[next++ % keyCount];
        std::lock_guard lock(map.mutex);
        CachedValue copy = map.values.find(key)->second;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_MemoryHit_MutexMapBaseline)->Threads(1)->Threads(4)->Threads(8)->UseRealTime()->MeasureProcessCPUTime();

void BM_MemoryHit_MemoryStorage(benchmark::State& state)
{
    auto& storage = memoryStorage();
    const auto extending = ExpirationExtending::cacheTime();
    int next = static_cast<int>(state.thread_index()) * 97;
    for (auto _ : state) {
        auto value = storage.value(keys()[next++ % keyCount], extending);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_MemoryHit_MemoryStorage)->Threads(1)->Threads(4)->Threads(8)->UseRealTime()->MeasureProcessCPUTime();

// ---- disk reads and writes ------------------------------------------------------

QByteArray pngBytes()
{
    QImage image(100, 100, QImage::Format_ARGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            image.setPixel(x, y, qRgba(x * 2, y * 2, (x * y) & 0xff, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

struct DiskFixture {
    QTemporaryDir root;
    QByteArray png = pngBytes();
    std::shared_ptr<DiskStorageBackend> storage =
        DiskStorageBackend::make(DiskStorageConfig(QStringLiteral("bench"), 0, FileManager::standard(), root.path()), true);
    QString rawPath = root.path() + QStringLiteral("/raw.png");
};

DiskFixture& disk()
{
    static DiskFixture* fixture = [] {
        auto* made = new DiskFixture;
        (void)made->storage->store(made->png, keys()[0]);
        QFile raw(made->rawPath);
        raw.open(QIODevice::WriteOnly);
        raw.write(made->png);
        return made;
    }();
    return *fixture;
}

QByteArray rawRead(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    ::fstat(fd, &info);
    QByteArray bytes(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
    benchmark::DoNotOptimize(::read(fd, bytes.data(), static_cast<size_t>(bytes.size())));
    ::close(fd);
    return bytes;
}

void BM_DiskHit_RawReadBaseline(benchmark::State& state)
{
    const QByteArray path = QFile::encodeName(disk().rawPath);
    for (auto _ : state)
        benchmark::DoNotOptimize(rawRead(path));
}
BENCHMARK(BM_DiskHit_RawReadBaseline);

// The raw read plus the key's SHA-256 file name, which every lookup has to compute.
void BM_DiskHit_RawReadAndNamingBaseline(benchmark::State& state)
{
    const QByteArray path = QFile::encodeName(disk().rawPath);
    const DiskStorageConfig config = disk().storage->config();
    for (auto _ : state) {
        benchmark::DoNotOptimize(diskCacheFileName(keys()[0], std::nullopt, config));
        benchmark::DoNotOptimize(rawRead(path));
    }
}
BENCHMARK(BM_DiskHit_RawReadAndNamingBaseline);

void BM_DiskHit_DiskStorage(benchmark::State& state)
{
    auto& storage = *disk().storage;
    for (auto _ : state) {
        auto bytes = storage.value(keys()[0], std::nullopt, ExpirationExtending::cacheTime());
        benchmark::DoNotOptimize(bytes);
    }
    (void)storage.metaChangingQueue()->sync([] {});
}
BENCHMARK(BM_DiskHit_DiskStorage);

// The same hit without the stamp update it queues, which runs on another thread.
void BM_DiskHit_DiskStorageWithoutExtending(benchmark::State& state)
{
    auto& storage = *disk().storage;
    for (auto _ : state) {
        auto bytes = storage.value(keys()[0], std::nullopt, ExpirationExtending::none());
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_DiskHit_DiskStorageWithoutExtending);

void BM_DiskStore_RawWriteBaseline(benchmark::State& state)
{
    const QByteArray path = QFile::encodeName(disk().rawPath);
    const QByteArray& png = disk().png;
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        benchmark::DoNotOptimize(::write(fd, png.constData(), static_cast<size_t>(png.size())));
        ::close(fd);
    }
}
BENCHMARK(BM_DiskStore_RawWriteBaseline);

void BM_DiskStore_DiskStorage(benchmark::State& state)
{
    auto& storage = *disk().storage;
    for (auto _ : state)
        benchmark::DoNotOptimize(storage.store(disk().png, keys()[1]));
}
BENCHMARK(BM_DiskStore_DiskStorage);

// ---- whole-directory passes over 10,000 files -----------------------------------

constexpr int sweepFileCount = 10000;

struct SweepFixture {
    QTemporaryDir root;
    std::shared_ptr<DiskStorageBackend> storage = DiskStorageBackend::make(
        DiskStorageConfig(QStringLiteral("sweep"), 0, FileManager::standard(), root.path()), true);
};

SweepFixture& sweep()
{
    static SweepFixture* fixture = [] {
        auto* made = new SweepFixture;
        const QByteArray bytes(512, 'x');
        for (int i = 0; i < sweepFileCount; ++i)
            (void)made->storage->store(bytes, QString::number(i));
        return made;
    }();
    return *fixture;
}

void BM_DirectoryWalk_RawLstatBaseline(benchmark::State& state)
{
    const QByteArray directory = QFile::encodeName(sweep().storage->directoryPath());
    for (auto _ : state) {
        std::uint64_t total = 0;
        DIR* stream = ::opendir(directory.constData());
        while (const dirent* entry = ::readdir(stream)) {
            if (entry->d_name[0] == '.')
                continue;
            struct stat info {};
            if (::lstat((directory + '/' + entry->d_name).constData(), &info) == 0 && S_ISREG(info.st_mode))
                total += static_cast<std::uint64_t>(info.st_size);
        }
        ::closedir(stream);
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_DirectoryWalk_RawLstatBaseline)->Unit(benchmark::kMillisecond);

void BM_DirectoryWalk_ExpirySweep(benchmark::State& state)
{
    auto& storage = *sweep().storage;
    const Date longAgo(TimeInterval(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(storage.removeExpiredValues(longAgo));
}
BENCHMARK(BM_DirectoryWalk_ExpirySweep)->Unit(benchmark::kMillisecond);

void BM_DirectoryWalk_TotalSize(benchmark::State& state)
{
    auto& storage = *sweep().storage;
    for (auto _ : state)
        benchmark::DoNotOptimize(storage.totalSize());
}
BENCHMARK(BM_DirectoryWalk_TotalSize)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
