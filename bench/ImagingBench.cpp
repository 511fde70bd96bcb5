// Imaging costs, each beside a baseline in the same run: thumbnail against full decoding,
// WebP and BMP decoding against a plain QImageReader, box blur against copying the same bytes
// once per pass, resizing against QImage::scaled, and eager GIF decoding against decoding the
// first frame only.
#include "bench/BenchMain.h"
#include "Lumen/foundation/imaging/AnimatedImageDecoding.h"
#include "Lumen/foundation/imaging/BoxBlur.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/ImageResampling.h"

// The benchmarks link no test library, so the test GIF writer is compiled in here.
#include "tests/support/GifWriter.cpp"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>

#include <cstring>
#include <vector>

namespace {

// A photograph-like picture: smooth gradients with fine texture, so JPEG has work to do.
QImage photoLike(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb((x * 255 / size.width() + (x * y) % 17) & 0xFF, (y * 255 / size.height()) & 0xFF,
                           ((x ^ y) % 64 + 96) & 0xFF);
    }
    return image;
}

const QByteArray& largeJpeg()
{
    static const QByteArray bytes = [] {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(90);
        writer.write(photoLike({4000, 3000}));
        return data;
    }();
    return bytes;
}

// A 1000 x 1000 photograph-like picture as WebP (argument 0) or BMP (argument 1).
const char* const otherFormats[] = {"webp", "bmp"};

const QByteArray& otherFormatImage(int index)
{
    static const std::vector<QByteArray> images = [] {
        std::vector<QByteArray> encoded;
        for (const char* format : otherFormats) {
            QByteArray data;
            QBuffer buffer(&data);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter(&buffer, format).write(photoLike({1000, 1000}));
            encoded.push_back(data);
        }
        return encoded;
    }();
    return images[index];
}

const QByteArray& twoHundredFrameGif()
{
    static const QByteArray bytes = [] {
        QList<Tivrand::Testing::GifFrame> frames;
        for (int index = 0; index < 200; ++index) {
            QImage frame(160, 120, QImage::Format_RGB32);
            frame.fill(qRgb(index % 8 * 32, 0, 0));
            for (int y = index % 120; y < 120; y += 7)
                for (int x = 0; x < 160; ++x)
                    frame.setPixel(x, y, qRgb(0, (x / 20) * 32, 255));
            frames.append({frame, 4, QPoint(0, 0)});
        }
        return Tivrand::Testing::writeGif({160, 120}, frames);
    }();
    return bytes;
}

void BM_DecodeJpegFull(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Lumen::stillImage(largeJpeg()));
}
BENCHMARK(BM_DecodeJpegFull)->Unit(benchmark::kMillisecond);

void BM_DecodeJpegThumbnail(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Lumen::downsampledImage(largeJpeg(), {400, 300}, 1.0));
}
BENCHMARK(BM_DecodeJpegThumbnail)->Unit(benchmark::kMillisecond);

void BM_DecodeOtherFormat(benchmark::State& state)
{
    const QByteArray& data = otherFormatImage(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Lumen::stillImage(data));
    state.SetLabel(otherFormats[state.range(0)]);
}
BENCHMARK(BM_DecodeOtherFormat)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DecodeOtherFormatBaselineQImageReader(benchmark::State& state)
{
    QByteArray data = otherFormatImage(int(state.range(0)));
    for (auto _ : state) {
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, otherFormats[state.range(0)]);
        benchmark::DoNotOptimize(reader.read());
    }
    state.SetLabel(otherFormats[state.range(0)]);
}
BENCHMARK(BM_DecodeOtherFormatBaselineQImageReader)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BoxBlur(benchmark::State& state)
{
    const QImage image = photoLike({1024, 1024}).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const auto parameters = Lumen::BoxBlurParameters::forRadius(double(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Lumen::boxBlurred(image, parameters->boxSize, parameters->passes));
    state.counters["box"] = parameters->boxSize;
}
BENCHMARK(BM_BoxBlur)->Arg(10)->Arg(40)->Unit(benchmark::kMillisecond);

// The floor of any pass over the pixels: copying the same bytes once per blur pass.
void BM_BoxBlurBaselineMemcpy(benchmark::State& state)
{
    const QImage image = photoLike({1024, 1024}).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::vector<uchar> target(image.sizeInBytes());
    const int passes = Lumen::BoxBlurParameters::forRadius(10.0)->passes;
    for (auto _ : state) {
        for (int pass = 0; pass < passes; ++pass) {
            std::memcpy(target.data(), image.constBits(), target.size());
            benchmark::ClobberMemory();
        }
    }
}
BENCHMARK(BM_BoxBlurBaselineMemcpy)->Unit(benchmark::kMillisecond);

void BM_Resize(benchmark::State& state)
{
    const Lumen::ImagePtr image = Lumen::Image::make(photoLike({4000, 3000}));
    for (auto _ : state)
        benchmark::DoNotOptimize(Lumen::resized(image, {400, 300}));
}
BENCHMARK(BM_Resize)->Unit(benchmark::kMillisecond);

void BM_ResizeBaselineQImageScaled(benchmark::State& state)
{
    const QImage image = photoLike({4000, 3000});
    for (auto _ : state)
        benchmark::DoNotOptimize(image.scaled(400, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}
BENCHMARK(BM_ResizeBaselineQImageScaled)->Unit(benchmark::kMillisecond);

void BM_GifDecodeAllFrames(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Lumen::animatedImage(twoHundredFrameGif(), {}));
}
BENCHMARK(BM_GifDecodeAllFrames)->Unit(benchmark::kMillisecond);

void BM_GifDecodeFirstFrameOnly(benchmark::State& state)
{
    Lumen::ImageCreatingOptions options;
    options.onlyFirstFrame = true;
    for (auto _ : state)
        benchmark::DoNotOptimize(Lumen::animatedImage(twoHundredFrameGif(), options));
}
BENCHMARK(BM_GifDecodeFirstFrameOnly)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksWithGuiApplication(argc, argv);
}
