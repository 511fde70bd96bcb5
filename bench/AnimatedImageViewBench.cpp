// The animated image view playing a 200-frame 480 x 270 GIF (25 frames a second) for 5 s of
// simulated 60 Hz display-link ticks, beside decoding every frame up front as a view that
// lets the platform animate would. CPU is the whole process's (the preload queue included);
// memory is the peak of decoded frame bytes held and the peak resident-set growth.
#include "bench/BenchMain.h"
#include "Lumen/foundation/imaging/AnimatedImageDecoding.h"
#include "Lumen/views/AnimatedImageView.h"
#include "tests/lumen/views/AnimationTesting.h"

// The benchmarks link no test library, so the test GIF writer is compiled in here.
#include "tests/support/GifWriter.cpp"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using namespace Lumen;
using namespace std::chrono_literals;

constexpr int frameCount = 200;
constexpr QSize frameSize(480, 270);
constexpr double tickSeconds = 1.0 / 60;
constexpr int ticksInFiveSeconds = 300;

const QByteArray& twoHundredFrameGif()
{
    static const QByteArray bytes = [] {
        QList<Tivrand::Testing::GifFrame> frames;
        for (int index = 0; index < frameCount; ++index) {
            QImage frame(frameSize, QImage::Format_RGB32);
            frame.fill(qRgb(index % 8 * 32, 0, 0));
            for (int y = index % frameSize.height(); y < frameSize.height(); y += 7)
                for (int x = 0; x < frameSize.width(); ++x)
                    frame.setPixel(x, y, qRgb(0, (x / 60) * 32, 255));
            frames.append({frame, 4, QPoint(0, 0)});
        }
        return Tivrand::Testing::writeGif(frameSize, frames);
    }();
    return bytes;
}

double statusMegabytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').front().toDouble() / 1024.0;
    return 0;
}

// Starts a new resident-set peak; answers the resident set now.
double restartResidentPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
    return statusMegabytes("VmRSS:");
}

double megabytes(const ImagePtr& image)
{
    return image ? static_cast<double>(image->bitmap().sizeInBytes()) / (1024.0 * 1024.0) : 0.0;
}

double decodedMegabytes(const AnimatedImageAnimator& animator)
{
    double total = 0;
    for (int index = 0; index < animator.frameCount(); ++index)
        total += megabytes(animator.frame(index));
    return total;
}

// Real playback decodes ahead while the frame shows; simulated ticks come faster, so each
// waits for the window as a frame's time on screen would.
bool waitForWindow(const AnimatedImageAnimator& animator)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    const auto decoded = [&animator](int index) { return animator.frame(index) != nullptr; };
    while (!decoded(animator.currentFrameIndex())
           || !std::ranges::all_of(animator.preloadIndexes(animator.currentFrameIndex()), decoded)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

void BM_AnimatedImageViewPlaysFiveSeconds(benchmark::State& state)
{
    const QByteArray& gif = twoHundredFrameGif();
    double peakFrames = 0;
    double peakResidentGrowth = 0;
    int framesShown = 0;
    for (auto _ : state) {
        const double residentBefore = restartResidentPeak();
        {
            const auto ticks = std::make_shared<AnimationTesting::HandTickSource::State>();
            AnimatedImageView view(std::make_unique<AnimationTesting::HandTickSource>(ticks));
            view.resize(frameSize);
            view.setImage(AnimationTesting::playableImage(gif));
            view.startAnimating();
            const auto animator = view.animator();
            ticks->tick(0); // the display link's first tick only records its time
            framesShown = 0;
            for (int tick = 0; tick < ticksInFiveSeconds; ++tick) {
                const int shown = animator->currentFrameIndex();
                ticks->tick(tickSeconds);
                framesShown += animator->currentFrameIndex() != shown;
                if (!waitForWindow(*animator)) {
                    state.SkipWithError("frames were not decoded");
                    return;
                }
                peakFrames = std::max(peakFrames, decodedMegabytes(*animator));
            }
        }
        peakResidentGrowth = std::max(peakResidentGrowth, statusMegabytes("VmHWM:") - residentBefore);
    }
    state.counters["framesShown"] = framesShown;
    state.counters["peakFrameMB"] = peakFrames;
    state.counters["peakRssGrowthMB"] = peakResidentGrowth;
}
BENCHMARK(BM_AnimatedImageViewPlaysFiveSeconds)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BaselineDecodeEveryFrameUpFront(benchmark::State& state)
{
    const QByteArray& gif = twoHundredFrameGif();
    double peakFrames = 0;
    double peakResidentGrowth = 0;
    for (auto _ : state) {
        const double residentBefore = restartResidentPeak();
        {
            const ImagePtr image = animatedImage(gif, ImageCreatingOptions());
            double frames = 0;
            for (const ImagePtr& frame : image->images().value_or(QList<ImagePtr>()))
                frames += megabytes(frame);
            peakFrames = std::max(peakFrames, frames);
            benchmark::DoNotOptimize(image);
        }
        peakResidentGrowth = std::max(peakResidentGrowth, statusMegabytes("VmHWM:") - residentBefore);
    }
    state.counters["peakFrameMB"] = peakFrames;
    state.counters["peakRssGrowthMB"] = peakResidentGrowth;
}
BENCHMARK(BaselineDecodeEveryFrameUpFront)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    // A fixed threshold gives every frame buffer its own mapping, returned on release, so the
    // resident peak of one case does not carry into the next.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    twoHundredFrameGif();
    return runBenchmarks(argc, argv);
}
