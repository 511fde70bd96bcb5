// 200 rows of 64 x 64 icons shown through LMImage, beside the same rows of plain labels given
// the pixmaps directly: once with every icon in the memory cache (against ready QPixmaps), and
// once with every icon only on disk (against a raw file read, decode and set of the same
// PNGs). A case makes the rows and runs the event loop until every icon is there and painted.
//
// Then a scroll area of 1,000 rows of 40 x 40 icons from the memory cache, ten rows in view,
// against the same rows of labels given ready QPixmaps: the time to show the first screen, and
// the time to scroll through every row a screen at a time, each screen shown with its icons.
// `loadsBeforeScrolling` counts the icons that started loading before any scrolling.
//
// Each memory-cache case puts its icons back in memory before it times anything, so the cases
// may run in any order (`--benchmark_enable_random_interleaving`); the icons' folders and the
// shared manager's own cache folder go when the program ends.
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
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

namespace {

using namespace Lumen;

constexpr int rowCount = 200;
constexpr int side = 64;
constexpr int listRowCount = 1000;
constexpr int listSide = 40;
constexpr int screenRows = 10;

QImage iconBitmap(int index, int side)
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
    Icons(int count, int side, const QString& name)
    {
        cache = *ImageCache::make(name, folder.path());
        std::atomic<int> written = 0;
        for (int index = 0; index < count; ++index) {
            const QByteArray bytes = pngRepresentation(Image::make(iconBitmap(index, side))).value_or(QByteArray());
            // As a download leaves it in memory: decoded from its PNG.
            const QImage bitmap = QImage::fromData(bytes, "PNG");
            // A port nothing listens on: every icon must come from the cache.
            urls.push_back(QUrl(QStringLiteral("http://127.0.0.1:9/%1/%2.png").arg(name).arg(index)));
            pixmaps.push_back(QPixmap::fromImage(bitmap));
            files.push_back(folder.filePath(QStringLiteral("raw-%1.png").arg(index)));
            QFile file(files.back());
            if (file.open(QIODevice::WriteOnly))
                file.write(bytes);
            images.push_back(Image::make(bitmap));
            cache->store(images.back(), bytes, urls.back().toString(), QString(), std::nullopt,
                         DefaultCacheSerializer::shared(), true, CallbackQueue::untouch(),
                         [&](const CacheStoreResult&) { ++written; });
        }
        while (written < count)
            QThread::msleep(1);
    }

    ~Icons()
    {
        // The folder goes once nothing of the cache is left to write into it.
        const std::weak_ptr<ImageCache> released = cache;
        cache.reset();
        for (int waited = 0; !released.expired() && waited < 10'000; ++waited)
            QThread::msleep(1);
    }

    // Every icon in memory again, whatever an earlier case cleared or the cache let go.
    void bringIntoMemory() const
    {
        for (std::size_t index = 0; index < urls.size(); ++index)
            cache->store(images[index], std::nullopt, urls[index].toString(), QString(), std::nullopt,
                         DefaultCacheSerializer::shared(), false);
    }

    QTemporaryDir folder;
    std::shared_ptr<ImageCache> cache;
    std::vector<ImagePtr> images;
    std::vector<QUrl> urls;
    std::vector<QPixmap> pixmaps;
    std::vector<QString> files;
};

std::unique_ptr<Icons> madeIcons;
std::unique_ptr<Icons> madeListIcons;

Icons& icons()
{
    return *madeIcons;
}

Icons& listIcons()
{
    return *madeListIcons;
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
    LumenManager::shared()->setCache(icons().cache);
    icons().bringIntoMemory();
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

// A scroll area over a column of `listRowCount` rows made by `makeRow`, `screenRows` in view.
template <typename MakeRow>
QScrollArea* makeList(MakeRow makeRow)
{
    auto* area = new QScrollArea(&screen());
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setGeometry(0, 0, listSide * 2, listSide * screenRows);
    auto* rows = new QWidget;
    auto* layout = new QVBoxLayout(rows);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int index = 0; index < listRowCount; ++index) {
        QWidget* row = makeRow(index);
        row->setFixedSize(listSide, listSide);
        layout->addWidget(row);
    }
    area->setWidget(rows);
    return area;
}

QWidget* lmImageListRow(int index)
{
    auto* view = new LMImage(listIcons().urls[index]);
    view->resizable();
    return view;
}

QWidget* pixmapListRow(int index)
{
    auto* label = new QLabel;
    label->setPixmap(listIcons().pixmaps[index]);
    return label;
}

// Whether every LMImage row from `first` on, a screen of them, shows its icon; labels always do.
bool screenShown(const QScrollArea& area, int first)
{
    const QList<QWidget*> rows = area.widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (int index = first; index < std::min(first + screenRows, int(rows.size())); ++index) {
        const auto* view = qobject_cast<const LMImage*>(rows[index]);
        if (view && !view->binder().loadedImage())
            return false;
    }
    return true;
}

// Runs the event loop until the screen from row `first` on shows, then once more to paint it.
void showScreen(const QScrollArea& area, int first)
{
    while (!screenShown(area, first))
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

int loadsStarted(const QScrollArea& area)
{
    int started = 0;
    for (const LMImage* view : area.widget()->findChildren<LMImage*>(Qt::FindDirectChildrenOnly))
        started += view->binder().loading() || view->binder().loaded();
    return started;
}

template <typename MakeRow>
void showFirstScreen(benchmark::State& state, MakeRow makeRow)
{
    LumenManager::shared()->setCache(listIcons().cache);
    listIcons().bringIntoMemory();
    int loads = 0;
    for (auto _ : state) {
        QScrollArea* area = makeList(makeRow);
        area->show();
        showScreen(*area, 0);
        state.PauseTiming();
        loads = loadsStarted(*area);
        delete area;
        state.ResumeTiming();
    }
    state.counters["rows"] = listRowCount;
    state.counters["loadsBeforeScrolling"] = loads;
}

template <typename MakeRow>
void scrollThrough(benchmark::State& state, MakeRow makeRow)
{
    LumenManager::shared()->setCache(listIcons().cache);
    listIcons().bringIntoMemory();
    for (auto _ : state) {
        state.PauseTiming();
        QScrollArea* area = makeList(makeRow);
        area->show();
        showScreen(*area, 0);
        state.ResumeTiming();
        for (int first = screenRows; first < listRowCount; first += screenRows) {
            area->verticalScrollBar()->setValue(first * listSide);
            showScreen(*area, first);
        }
        state.PauseTiming();
        delete area;
        state.ResumeTiming();
    }
    state.counters["rows"] = listRowCount;
}

void BM_ScrollArea_FirstScreen_LMImage(benchmark::State& state)
{
    showFirstScreen(state, lmImageListRow);
}
BENCHMARK(BM_ScrollArea_FirstScreen_LMImage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScrollArea_FirstScreen_SetPixmapBaseline(benchmark::State& state)
{
    showFirstScreen(state, pixmapListRow);
}
BENCHMARK(BM_ScrollArea_FirstScreen_SetPixmapBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScrollArea_ScrollThrough_LMImage(benchmark::State& state)
{
    scrollThrough(state, lmImageListRow);
}
BENCHMARK(BM_ScrollArea_ScrollThrough_LMImage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScrollArea_ScrollThrough_SetPixmapBaseline(benchmark::State& state)
{
    scrollThrough(state, pixmapListRow);
}
BENCHMARK(BM_ScrollArea_ScrollThrough_SetPixmapBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The shared manager's default cache makes its folder in a cache location of the run's own.
    const QTemporaryDir cacheLocation;
    qputenv("XDG_CACHE_HOME", cacheLocation.path().toLocal8Bit());
    QApplication app(argc, argv);
    const auto originalCache = LumenManager::shared()->cache();
    madeIcons = std::make_unique<Icons>(rowCount, side, QStringLiteral("bench"));
    madeListIcons = std::make_unique<Icons>(listRowCount, listSide, QStringLiteral("list"));
    screen();
    const int status = runBenchmarks(argc, argv);
    delete &screen();
    LumenManager::shared()->setCache(originalCache);
    madeListIcons.reset();
    madeIcons.reset();
    return status;
}
