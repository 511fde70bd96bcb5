// Stepping through an animation's frames with the frame source, once playback has reached
// them: twenty steps back from the last frame, beside twenty steps forward to it (the
// baseline: one decode per step). Small frames fit the source's window of kept frames whole;
// large ones only partly.
#include "bench/BenchMain.h"
#include "Lumen/foundation/imaging/GIFFrameSource.h"

// The benchmarks link no test library, so the test GIF writer is compiled in here.
#include "tests/support/GifWriter.cpp"

#include <benchmark/benchmark.h>

#include <QGuiApplication>

namespace {

constexpr int steps = 20;

struct Animation {
    QByteArray data;
    int lastFrame;
    const char* label;
};

// Frames that differ in every seventh row, so that each one costs a full decode.
Animation animation(QSize size, int count, const char* label)
{
    QList<Tivrand::Testing::GifFrame> frames;
    for (int index = 0; index < count; ++index) {
        QImage frame(size, QImage::Format_RGB32);
        frame.fill(qRgb(index % 8 * 32, 0, 0));
        for (int y = index % 7; y < size.height(); y += 7)
            for (int x = 0; x < size.width(); ++x)
                frame.setPixel(x, y, qRgb(0, (x * 8 / size.width()) * 32, 255));
        frames.append({frame, 4, QPoint(0, 0)});
    }
    return {Tivrand::Testing::writeGif(size, frames), count - 1, label};
}

const Animation& animation(std::int64_t variant)
{
    static const Animation small = animation({160, 120}, 200, "200 frames of 160x120");
    static const Animation large = animation({1000, 1000}, 60, "60 frames of 1000x1000");
    return variant == 0 ? small : large;
}

// A source that has played forward up to `index`, as an animated view leaves it.
std::shared_ptr<Lumen::GIFFrameSource> playedTo(const QByteArray& data, int index)
{
    const auto source = *Lumen::GIFFrameSource::make(data);
    for (int played = 0; played <= index; ++played)
        benchmark::DoNotOptimize(source->frame(played));
    return source;
}

void BM_GifFrameSourceStepsForward(benchmark::State& state)
{
    const Animation& gif = animation(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        const auto source = playedTo(gif.data, gif.lastFrame - steps);
        state.ResumeTiming();
        for (int index = gif.lastFrame - steps + 1; index <= gif.lastFrame; ++index)
            benchmark::DoNotOptimize(source->frame(index));
    }
    state.SetLabel(gif.label);
}
BENCHMARK(BM_GifFrameSourceStepsForward)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_GifFrameSourceStepsBack(benchmark::State& state)
{
    const Animation& gif = animation(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        const auto source = playedTo(gif.data, gif.lastFrame);
        state.ResumeTiming();
        for (int index = gif.lastFrame - 1; index >= gif.lastFrame - steps; --index)
            benchmark::DoNotOptimize(source->frame(index));
    }
    state.SetLabel(gif.label);
}
BENCHMARK(BM_GifFrameSourceStepsBack)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksWithGuiApplication(argc, argv);
}
