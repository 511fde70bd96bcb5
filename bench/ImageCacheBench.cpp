// The image cache beside the plain mechanisms it competes with: memory hits against a
// mutex-guarded hash map of the same keys; disk hits of a 100 x 100 PNG against a raw file
// read plus QImage decode of the same file; the disk sweep over 10,000 files, walking by
// descriptors, against a walk by paths; and the decoding of what a disk hit may hold (lossy
// and lossless WebP, BMP, TIFF, ICO of 1000 x 1000 pixels), checked against the bitmap budget
// first, against a plain QImageReader. Every case sets up the state it measures, so the cases
// may run in any order.
#include "bench/BenchMain.h"
#include "Lumen/cache/ImageCache.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "bench/BenchImages.h"
#include "bench/Countdown.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>

#include <condition_variable>
#include <cstdlib>
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

// Every fixture is made on first use and released before the program ends, taking its
// temporary folder with it.
template <typename T>
std::unique_ptr<T>& slot()
{
    static std::unique_ptr<T> made;
    return made;
}

template <typename T>
T& fixtureOf()
{
    auto& made = slot<T>();
    if (!made)
        made = std::make_unique<T>();
    return *made;
}

// Memory hits: a cache of its own, which no disk case clears.
struct MemoryFixture {
    MemoryFixture() { cache = *ImageCache::make(QStringLiteral("memory"), root.path()); }

    // Every key in memory, in the cache and in the map, before a case measures hits.
    void fill()
    {
        for (const QString& key : keys()) {
            cache->store(image, std::nullopt, key, LumenParsedOptionsInfo(), false);
            if (!cache->retrieveImageInMemoryCache(key, LumenParsedOptionsInfo()))
                std::abort();
            lockedMap.emplace(key, image);
        }
    }

    QTemporaryDir root;
    std::shared_ptr<ImageCache> cache;
    const ImagePtr image = Image::make(iconBitmap().convertToFormat(QImage::Format_ARGB32_Premultiplied));
    std::mutex lockedMapMutex;
    std::unordered_map<QString, ImagePtr> lockedMap;
};

MemoryFixture& memoryHits()
{
    MemoryFixture& fixture = fixtureOf<MemoryFixture>();
    fixture.fill();
    return fixture;
}

// Disk hits: one file, read again by every iteration.
struct DiskFixture {
    DiskFixture()
    {
        cache = *ImageCache::make(QStringLiteral("disk"), root.path());
        Countdown written(1);
        cache->storeToDisk(iconPng(), diskKey, QString(), std::nullopt, std::nullopt, CallbackQueue::untouch(),
                           [&](const CacheStoreResult& result) { written.done(result.diskCacheResult.has_value()); });
        if (written.wait() != 0)
            std::abort();
        diskPath = *cache->cachePath(diskKey);
    }

    QTemporaryDir root;
    std::shared_ptr<ImageCache> cache;
    const QString diskKey = QStringLiteral("https://is1-ssl.example.com/image/thumb/disk/AppIcon.png");
    QString diskPath;
};

DiskFixture& diskHits()
{
    return fixtureOf<DiskFixture>();
}

// ---- memory hits -----------------------------------------------------------------------

void BM_MemoryHit_LockedMapBaseline(benchmark::State& state)
{
    MemoryFixture& f = memoryHits();
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
    MemoryFixture& f = memoryHits();
    const LumenParsedOptionsInfo options;
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.cache->retrieveImageInMemoryCache(keys()[i++ % keyCount], options));
}
BENCHMARK(BM_MemoryHit_ImageCache);

// The full retrieval with an at-once callback, for the cost of the completion plumbing.
void BM_MemoryHit_ImageCacheRetrieve(benchmark::State& state)
{
    MemoryFixture& f = memoryHits();
    const LumenParsedOptionsInfo options;
    std::size_t i = 0;
    for (auto _ : state) {
        f.cache->retrieveImage(keys()[i++ % keyCount], options, CallbackQueue::untouch(),
                               [](std::expected<ImageCacheResult, LumenError> result) {
                                   if (!result || result->cacheType() != CacheType::memory)
                                       std::abort();
                                   benchmark::DoNotOptimize(result);
                               });
    }
}
BENCHMARK(BM_MemoryHit_ImageCacheRetrieve);

// ---- disk hits of a 100 x 100 PNG ----------------------------------------------------------

void BM_DiskHit_RawReadDecodeBaseline(benchmark::State& state)
{
    DiskFixture& f = diskHits();
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
    DiskFixture& f = diskHits();
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
    DiskFixture& f = diskHits();
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

// ---- the disk sweep over 10,000 files ------------------------------------------------------

constexpr int sweepFileCount = 10000;

struct SweepFixture {
    // Writes the 10,000 files of the cache again, each expiring at `expiry` (seconds since 1970).
    void fill(std::int64_t expiry) const
    {
        const QByteArray directory = QFile::encodeName(storage->directoryPath()) + '/';
        const QByteArray bytes(512, 'x');
        const timespec stamps[2] = {{expiry - 60, 0}, {expiry, 0}};
        for (int i = 0; i < sweepFileCount; ++i) {
            const int fd = ::open((directory + QByteArray::number(i)).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || ::write(fd, bytes.constData(), bytes.size()) != bytes.size() || ::futimens(fd, stamps) != 0)
                std::abort();
            ::close(fd);
        }
    }

    QTemporaryDir root;
    std::shared_ptr<DiskStorageBackend> storage = DiskStorageBackend::make(
        DiskStorageConfig(QStringLiteral("sweep"), 0, FileManager::standard(), root.path()), true);
};

SweepFixture& sweep()
{
    return fixtureOf<SweepFixture>();
}

// The files of the sweeps that remove nothing, none of them expired, written before the case
// runs: the removing sweeps empty the folder.
SweepFixture& unexpiredSweep()
{
    SweepFixture& fixture = sweep();
    fixture.fill(4'000'000'000);
    return fixture;
}

// The sweep as it was done by paths: the folder's names listed for stale temporaries, every
// path of the tree listed, then each looked at (and, when expired, removed) by its path, and
// the removed ones reported as URLs.
std::vector<QUrl> pathSweep(const QByteArray& directory, std::int64_t now)
{
    QStringList topNames;
    if (DIR* stream = ::opendir(directory.constData())) {
        while (const dirent* entry = ::readdir(stream))
            topNames.append(QFile::decodeName(entry->d_name));
        ::closedir(stream);
    }
    benchmark::DoNotOptimize(topNames);
    std::vector<QByteArray> paths;
    std::vector<QByteArray> folders{directory};
    while (!folders.empty()) {
        const QByteArray folder = folders.back();
        folders.pop_back();
        DIR* stream = ::opendir(folder.constData());
        while (const dirent* entry = stream ? ::readdir(stream) : nullptr) {
            if (entry->d_name[0] == '.')
                continue;
            paths.push_back(folder + '/' + entry->d_name);
            if (entry->d_type == DT_DIR)
                folders.push_back(paths.back());
        }
        if (stream)
            ::closedir(stream);
    }
    std::vector<QUrl> removed;
    for (const QByteArray& path : paths) {
        struct stat info {};
        if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_mtim.tv_sec <= now
            && ::remove(path.constData()) == 0)
            removed.push_back(QUrl::fromLocalFile(QFile::decodeName(path)));
    }
    return removed;
}

// Nothing has expired: the walk and a look at every file.
void BM_Sweep_PathWalkBaseline(benchmark::State& state)
{
    const QByteArray directory = QFile::encodeName(unexpiredSweep().storage->directoryPath());
    for (auto _ : state)
        benchmark::DoNotOptimize(pathSweep(directory, 0));
}
BENCHMARK(BM_Sweep_PathWalkBaseline)->Unit(benchmark::kMillisecond);

void BM_Sweep_DiskStorage(benchmark::State& state)
{
    auto& storage = *unexpiredSweep().storage;
    for (auto _ : state) {
        if (!storage.removeExpiredValues(Date(TimeInterval(0))).removed.empty())
            std::abort();
    }
}
BENCHMARK(BM_Sweep_DiskStorage)->Unit(benchmark::kMillisecond);

// Everything has expired: the same and 10,000 removals, the files written anew between runs.
void BM_SweepRemovingAll_PathWalkBaseline(benchmark::State& state)
{
    const QByteArray directory = QFile::encodeName(sweep().storage->directoryPath());
    for (auto _ : state) {
        state.PauseTiming();
        sweep().fill(1000);
        state.ResumeTiming();
        if (pathSweep(directory, 2000).size() != sweepFileCount)
            std::abort();
    }
}
BENCHMARK(BM_SweepRemovingAll_PathWalkBaseline)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SweepRemovingAll_DiskStorage(benchmark::State& state)
{
    auto& storage = *sweep().storage;
    for (auto _ : state) {
        state.PauseTiming();
        sweep().fill(1000);
        state.ResumeTiming();
        if (storage.removeExpiredValues(Date(TimeInterval(2000))).removed.size() != sweepFileCount)
            std::abort();
    }
}
BENCHMARK(BM_SweepRemovingAll_DiskStorage)->Unit(benchmark::kMillisecond)->Iterations(10);

// ---- decoding 1000 x 1000 pixels in the formats checked by their structure -----------------

// Each case's label, Qt's format and the writer's quality: at 100 Qt writes a lossless WebP.
struct BudgetedFormat {
    const char* label;
    const char* format;
    int quality;
};
const BudgetedFormat budgetedFormats[] = {
    {"webp lossy", "webp", 75}, {"webp lossless", "webp", 100}, {"bmp", "bmp", -1}, {"tiff", "tiff", -1}, {"ico", "ico", -1},
};
constexpr int budgetedFormatCount = int(std::size(budgetedFormats));

QByteArray encoded(const QImage& image, const char* format, int quality = -1)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image))
        std::abort();
    return data;
}

// Qt writes icons of at most 256 x 256 pixels; a larger one holds a PNG under an entry of 0.
QByteArray largeIcon(const QImage& image)
{
    const QByteArray png = encoded(image, "png");
    QByteArray entry(16, '\0');
    qToLittleEndian<quint16>(1, entry.data() + 4);
    qToLittleEndian<quint16>(32, entry.data() + 6);
    qToLittleEndian<quint32>(quint32(png.size()), entry.data() + 8);
    qToLittleEndian<quint32>(22, entry.data() + 12);
    return QByteArray::fromHex("000001000100") + entry + png;
}

const QByteArray& budgetedImage(int index)
{
    static const std::vector<QByteArray> images = [] {
        QImage picture(1000, 1000, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb((x + (x * y) % 17) & 0xFF, y & 0xFF, ((x ^ y) % 64 + 96) & 0xFF));
        std::vector<QByteArray> made;
        for (const BudgetedFormat& format : budgetedFormats)
            made.push_back(QByteArrayView(format.format) == "ico" ? largeIcon(picture)
                                                                  : encoded(picture, format.format, format.quality));
        // The WebP cases hold the bitstream their labels name.
        if (made[0].mid(12, 4) != "VP8 " || made[1].mid(12, 4) != "VP8L")
            std::abort();
        return made;
    }();
    return images[std::size_t(index)];
}

void BM_Decode_QImageReaderBaseline(benchmark::State& state)
{
    const BudgetedFormat& format = budgetedFormats[state.range(0)];
    QByteArray data = budgetedImage(int(state.range(0)));
    for (auto _ : state) {
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, format.format);
        const QImage image = reader.read();
        if (image.size() != QSize(1000, 1000))
            std::abort();
    }
    state.SetLabel(format.label);
}
BENCHMARK(BM_Decode_QImageReaderBaseline)->DenseRange(0, budgetedFormatCount - 1)->Unit(benchmark::kMillisecond);

void BM_Decode_ImageFromData(benchmark::State& state)
{
    const QByteArray& data = budgetedImage(int(state.range(0)));
    for (auto _ : state) {
        const ImagePtr image = imageFromData(data, {});
        if (!image || image->pixelSize() != QSize(1000, 1000))
            std::abort();
    }
    state.SetLabel(budgetedFormats[state.range(0)].label);
}
BENCHMARK(BM_Decode_ImageFromData)->DenseRange(0, budgetedFormatCount - 1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const QGuiApplication application(argc, argv);
    const int status = runBenchmarks(argc, argv);
    slot<MemoryFixture>().reset();
    slot<DiskFixture>().reset();
    slot<SweepFixture>().reset();
    return status;
}
