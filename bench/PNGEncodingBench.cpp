// The cache's PNG encoding beside Qt's PNG writer at its defaults, over 256 x 256 and 64 x 64
// bitmaps as a download decodes them: a flat, anti-aliased icon and random pixels. Each case
// reports the encoded size.
#include "bench/BenchImages.h"
#include "bench/BenchMain.h"
#include "Lumen/foundation/imaging/ImageEncoding.h"

#include <benchmark/benchmark.h>

#include <QPainter>

#include <cstdlib>

namespace {

using namespace Lumen;

// Rounded square of a gradient with a translucent disc and a glyph: large flat areas and
// anti-aliased edges, like most app icons.
QImage flatIcon(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, side, side);
    gradient.setColorAt(0, QColor(40, 120, 240));
    gradient.setColorAt(1, QColor(120, 30, 90));
    painter.setBrush(gradient);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, side, side), side * 0.22, side * 0.22);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawEllipse(QRectF(side * 0.2, side * 0.2, side * 0.6, side * 0.6));
    painter.setPen(QPen(QColor(20, 20, 20), side / 32.0));
    painter.drawLine(QPointF(side * 0.3, side * 0.7), QPointF(side * 0.7, side * 0.3));
    painter.end();
    // As a download decodes it.
    return QImage::fromData(pngBytes(image));
}

ImagePtr bitmapOf(int kind, int side)
{
    return Image::make(kind == 0 ? flatIcon(side) : QImage::fromData(noisePng({side, side})));
}

void BM_PNG_QtWriterBaseline(benchmark::State& state)
{
    const ImagePtr image = bitmapOf(int(state.range(0)), int(state.range(1)));
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray bytes = pngBytes(image->bitmap());
        if (bytes.isEmpty())
            std::abort();
        size = bytes.size();
    }
    state.counters["bytes"] = double(size);
}

void BM_PNG_PngRepresentation(benchmark::State& state)
{
    const ImagePtr image = bitmapOf(int(state.range(0)), int(state.range(1)));
    qsizetype size = 0;
    for (auto _ : state) {
        const auto bytes = pngRepresentation(image);
        if (!bytes)
            std::abort();
        size = bytes->size();
    }
    state.counters["bytes"] = double(size);
}

void encodingArguments(benchmark::internal::Benchmark* bench)
{
    bench->ArgNames({"noise", "side"})->Unit(benchmark::kMicrosecond);
    for (const int kind : {0, 1})
        for (const int side : {256, 64})
            bench->Args({kind, side});
}

BENCHMARK(BM_PNG_QtWriterBaseline)->Apply(encodingArguments);
BENCHMARK(BM_PNG_PngRepresentation)->Apply(encodingArguments);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksWithGuiApplication(argc, argv);
}
