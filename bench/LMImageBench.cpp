// 200 rows of 64 x 64 icons shown through LMImage, beside the same rows of plain labels given
// the pixmaps directly: once with every icon in the memory cache (against ready QPixmaps), and
// once with every icon only on disk (against a raw file read, decode and set of the same
// PNGs). A case makes the rows and runs the event loop until every icon is there and painted.
#include "bench/BenchMain.h"
#include "Lumen/cache/CacheStoreResult.h"
#include "Lumen/cache/ImageCache.h"
#include "Lumen/foundation/imaging/ImageEncoding.h"
#include "Lumen/retrieval/LumenManager.h"
#include "Lumen/views/LMImage.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

namespace {

using namespace Lumen;

constexpr int rowCount = 200;
constexpr int side = 64;

QImage iconBitmap(int index)
{
    // Opaque, as store icons are.
    QImage bitmap(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            bitmap.setPixel(x, y, qRgba((x * 4 + index) % 256, y * 4, index % 256, 255));
    return bitmap;
}

// The icons stored in memory and on disk of a cache of their own, which the shared manager
// uses, and the same PNGs as plain files for the baseline.
struct Icons {
    Icons()
    {
        cache = *ImageCache::make(QStringLiteral("bench"), folder.path());
        LumenManager::shared()->setCache(cache);
        std::atomic<int> written = 0;
        for (int index = 0; index < rowCount; ++index) {
            const QByteArray bytes = pngRepresentation(Image::make(iconBitmap(index))).value_or(QByteArray());
            // As a download leaves it in memory: decoded from its PNG.
            const QImage bitmap = QImage::fromData(bytes, "PNG");
            // A port nothing listens on: every icon must come from the cache.
            urls.push_back(QUrl(QStringLiteral("http://127.0.0.1:9/icon/%1.png").arg(index)));
            pixmaps.push_back(QPixmap::fromImage(bitmap));
            files.push_back(folder.filePath(QStringLiteral("raw-%1.png").arg(index)));
            QFile file(files.back());
            if (file.open(QIODevice::WriteOnly))
                file.write(bytes);
            cache->store(Image::make(bitmap), bytes, urls.back().toString(), QString(), std::nullopt,
                         DefaultCacheSerializer::shared(), true, CallbackQueue::untouch(),
                         [&](const CacheStoreResult&) { ++written; });
        }
        while (written < rowCount)
            QThread::msleep(1);
    }

    QTemporaryDir folder;
    std::shared_ptr<ImageCache> cache;
    std::vector<QUrl> urls;
    std::vector<QPixmap> pixmaps;
    std::vector<QString> files;
};

Icons& icons()
{
    static Icons* made = new Icons;
    return *made;
}

// The window the rows are shown in, shown once so that no case pays for making a window.
QWidget& screen()
{
    static QWidget* shown = [] {
        auto* window = new QWidget;
        window->resize(side, side * rowCount);
        window->show();
        QCoreApplication::processEvents();
        return window;
    }();
    return *shown;
}

// Makes the rows with `makeRow` and shows them until `allShown`.
template <typename MakeRow, typename AllShown>
void showRows(benchmark::State& state, MakeRow makeRow, AllShown allShown, bool fromDisk)
{
    for (auto _ : state) {
        if (fromDisk) {
            state.PauseTiming();
            icons().cache->clearMemoryCache();
            state.ResumeTiming();
        }
        auto* rows = new QWidget(&screen());
        rows->setGeometry(screen().rect());
        for (int index = 0; index < rowCount; ++index)
            makeRow(*rows, index)->setGeometry(0, index * side, side, side);
        rows->show();
        while (!allShown(*rows))
            QCoreApplication::processEvents();
        // The turn that paints what is there.
        QCoreApplication::processEvents();
        delete rows;
    }
    state.counters["rows"] = rowCount;
}

QWidget* lmImageRow(QWidget& rows, int index)
{
    auto* view = new LMImage(icons().urls[index], std::nullopt, &rows);
    view->resizable();
    return view;
}

bool everyLMImageShown(const QWidget& rows)
{
    for (const LMImage* view : rows.findChildren<LMImage*>(Qt::FindDirectChildrenOnly)) {
        if (!view->binder().loadedImage())
            return false;
    }
    return true;
}

void BM_MemoryCache_LMImage(benchmark::State& state)
{
    showRows(state, lmImageRow, everyLMImageShown, false);
}
BENCHMARK(BM_MemoryCache_LMImage)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_MemoryCache_SetPixmapBaseline(benchmark::State& state)
{
    showRows(
        state,
        [](QWidget& rows, int index) {
            auto* label = new QLabel(&rows);
            label->setPixmap(icons().pixmaps[index]);
            return label;
        },
        [](const QWidget&) { return true; }, false);
}
BENCHMARK(BM_MemoryCache_SetPixmapBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_DiskCache_LMImage(benchmark::State& state)
{
    showRows(state, lmImageRow, everyLMImageShown, true);
}
BENCHMARK(BM_DiskCache_LMImage)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_DiskCache_ReadDecodeSetBaseline(benchmark::State& state)
{
    showRows(
        state,
        [](QWidget& rows, int index) {
            QFile file(icons().files[index]);
            file.open(QIODevice::ReadOnly);
            auto* label = new QLabel(&rows);
            label->setPixmap(QPixmap::fromImage(QImage::fromData(file.readAll(), "PNG")));
            return label;
        },
        [](const QWidget&) { return true; }, false);
}
BENCHMARK(BM_DiskCache_ReadDecodeSetBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    icons();
    screen();
    return runBenchmarks(argc, argv);
}
