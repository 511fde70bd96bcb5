#include "Lumen/foundation/imaging/GIFFrameSource.h"
#include "Lumen/views/AnimatedImageAnimator.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/lumen/views/AnimationTesting.h"

#include <gtest/gtest.h>

#include <vector>

namespace Lumen {
namespace {

using namespace AnimationTesting;
using RepeatCount = AnimatedImageRepeatCount;

struct Playback {
    std::shared_ptr<DispatchQueue> queue = DispatchQueue::makeSerial(QStringLiteral("test.preload"));
    std::shared_ptr<AnimatedImageAnimator> animator;
    std::vector<unsigned> toldLoops;

    explicit Playback(int frameCount, AnimatedImageAnimator::Configuration configuration = {},
                      QSize frameSize = {12, 8})
    {
        configuration.imageSize = frameSize;
        configuration.preloadQueue = queue;
        animator = AnimatedImageAnimator::make(GIFFrameSource::make(solidGif(frameSize, frameCount)).value(),
                                               configuration);
        animator->delegate().setBlock([this](const unsigned& loops) { toldLoops.push_back(loops); });
        animator->prepareFrames();
        drain();
    }

    void drain() const { ASSERT_TRUE(queue->sync([] {})); }

    void advance(int frames)
    {
        for (int step = 0; step < frames; ++step)
            animator->advanceFrame();
    }

    std::vector<int> decodedIndexes() const
    {
        std::vector<int> indexes;
        for (int index = 0; index < animator->frameCount(); ++index)
            if (animator->frame(index))
                indexes.push_back(index);
        return indexes;
    }
};

std::vector<int> range(int first, int last)
{
    std::vector<int> indexes;
    for (int index = first; index <= last; ++index)
        indexes.push_back(index);
    return indexes;
}

TEST(AnimatedImageAnimator, PreloadIndexesWrapAroundAndAWindowBelowOneCountsAsOne)
{
    const struct { int frameCount, preloadCount, from; std::vector<int> expected; } cases[] = {
        {30, 10, 0, range(1, 10)},
        {30, 10, 25, {26, 27, 28, 29, 0, 1, 2, 3, 4, 5}},
        {3, 10, 1, {2, 0}},
        {30, 0, 5, {6}},
        {30, -4, 29, {0}},
    };
    for (const auto& c : cases) {
        Playback playback(c.frameCount, {.framePreloadCount = c.preloadCount});
        EXPECT_EQ(playback.animator->preloadIndexes(c.from), c.expected) << c.frameCount << " " << c.preloadCount;
    }
}

// A preload that falls behind the playback still drops every frame left behind.
TEST(AnimatedImageAnimator, KeepsOnlyTheWindowDecodedAsPlaybackAdvances)
{
    const struct { int frameCount, advances; bool preloadHeld; std::vector<int> decoded; } cases[] = {
        {30, 0, false, range(0, 10)},
        {30, 5, false, range(5, 15)},
        {30, 25, false, {0, 1, 2, 3, 4, 5, 25, 26, 27, 28, 29}},
        {3, 4, false, range(0, 2)},
        {30, 7, true, range(7, 17)},
    };
    for (const auto& c : cases) {
        Playback playback(c.frameCount);
        Testing::Gate gate;
        if (c.preloadHeld)
            playback.queue->async([&] { gate.wait(); });
        playback.advance(c.advances);
        gate.open();
        playback.drain();
        EXPECT_EQ(playback.decodedIndexes(), c.decoded) << c.frameCount << " " << c.advances;
    }
}

TEST(AnimatedImageAnimator, CountsLoopsAndFinishesAtTheRepeatLimit)
{
    const struct { RepeatCount repeatCount; int advances; std::vector<unsigned> toldLoops; bool finished; } cases[] = {
        {RepeatCount::finite(2), 4, {1}, false},
        {RepeatCount::finite(2), 5, {1, 2}, true},
        {RepeatCount::once(), 2, {1}, true},
        {RepeatCount::infinite(), 9, {1, 2, 3}, false},
    };
    for (const auto& c : cases) {
        Playback playback(3, {.repeatCount = c.repeatCount});
        playback.advance(c.advances);
        EXPECT_EQ(playback.toldLoops, c.toldLoops) << c.advances;
        EXPECT_EQ(playback.animator->isFinished(), c.finished) << c.advances;
    }
}

TEST(AnimatedImageAnimator, PrescalesToItsSizeAndDecodesAgainOnlyWhenFramesMayGrow)
{
    const QSize imageSize(120, 60);
    Playback playback(30, {.size = {40, 40}}, imageSize);
    EXPECT_EQ(playback.animator->frame(0)->pixelSize(), QSize(40, 20));

    playback.animator->setSize({80, 30});
    playback.drain();
    EXPECT_EQ(playback.animator->frame(10)->pixelSize(), QSize(80, 40));

    playback.animator->setSize({50, 50});
    playback.advance(1);
    playback.drain();
    EXPECT_EQ(playback.animator->frame(10)->pixelSize(), QSize(80, 40));
    EXPECT_EQ(playback.animator->frame(11)->pixelSize(), QSize(50, 25));

    playback.animator->setSize({0, 50});
    playback.drain();
    EXPECT_EQ(playback.animator->frame(11)->pixelSize(), imageSize);

    Playback unscaled(3, {.size = {40, 40}, .needsPrescaling = false}, imageSize);
    EXPECT_EQ(unscaled.animator->frame(0)->pixelSize(), imageSize);
}

TEST(AnimatedImageAnimator, PlaybackAndPreloadShareTheFramesSafely)
{
    Playback playback(40, {.framePreloadCount = 4}, {64, 64});
    for (int step = 0; step < 400; ++step) {
        playback.animator->advanceFrame();
        playback.animator->setSize(QSizeF(8 + step % 64, 8 + step % 64));
        static_cast<void>(playback.animator->currentImage());
    }
    playback.drain();
    EXPECT_EQ(playback.decodedIndexes(), range(0, 4));
}

} // namespace
} // namespace Lumen
