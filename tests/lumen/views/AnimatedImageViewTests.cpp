#include "Lumen/foundation/imaging/GIFFrameSource.h"
#include "Lumen/retrieval/RawImageDataProvider.h"
#include "Lumen/views/AnimatedImageAnimator.h"
#include "Lumen/views/AnimatedImageView.h"
#include "Lumen/views/LMAnimatedImage.h"
#include "Lumen/views/loading/ImageViewLoading.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/lumen/views/AnimationTesting.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QUuid>

#include <utility>
#include <vector>

namespace Lumen {
namespace {

using namespace AnimationTesting;
using namespace std::chrono_literals;
using Tivrand::Testing::waitUntil;
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

TEST(AnimatedImageAnimator, PreloadIndexesWrapAroundAndAWindowBelowOneCountsAsOne)
{
    const struct { int frameCount, preloadCount, from; std::vector<int> expected; } cases[] = {
        {30, 10, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
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
        {30, 0, false, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {30, 5, false, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {30, 25, false, {0, 1, 2, 3, 4, 5, 25, 26, 27, 28, 29}},
        {3, 4, false, {0, 1, 2}},
        {30, 7, true, {7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}},
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
    EXPECT_EQ(playback.decodedIndexes(), (std::vector<int>{0, 1, 2, 3, 4}));
}

class RecordingDelegate final : public AnimatedImageViewDelegate {
public:
    void animatedImageViewDidFinishLoops(AnimatedImageView&, unsigned loops) override { loopsTold.push_back(loops); }
    void animatedImageViewDidFinish(AnimatedImageView&) override { ++finishes; }

    std::vector<unsigned> loopsTold;
    int finishes = 0;
};

class AnimatedImageViewTest : public ::testing::Test {
protected:
    // Shows an image whose frames last 1/4, 1/2 and 1/4 s, once its frames are listed.
    void showPlayable(const QList<int>& delays = {25, 50, 25})
    {
        view.setImage(playableImage(solidGif({12, 8}, delays)));
        view.resize(40, 40);
        view.show();
        ASSERT_TRUE(waitUntil([&] { return view.animator()->loopDuration() > 0; }));
        ticks->tick(0); // the display link's first tick only records its time
    }

    int frameIndex() const { return view.animator()->currentFrameIndex(); }

    std::shared_ptr<HandTickSource::State> ticks = std::make_shared<HandTickSource::State>();
    AnimatedImageView view{std::make_unique<HandTickSource>(ticks)};
};

TEST_F(AnimatedImageViewTest, TicksAdvanceByTheGifDelaysOneFrameAtMostAndAStallCountsOneSecond)
{
    showPlayable();
    constexpr double refresh = 1.0 / 16;
    const std::vector<std::pair<double, int>> steps = {
        {refresh, 0}, {refresh, 0}, {refresh, 0}, {refresh, 1}, // 1/4 s on frame 0
        {refresh, 1}, {refresh, 1}, {refresh, 1}, {refresh, 1}, {refresh, 1}, {refresh, 1}, {refresh, 1},
        {refresh, 2},                             // 1/2 s on frame 1
        {3.0, 0},                                 // a stall adds one second, moving one frame
        {refresh, 1}, {refresh, 2}, {refresh, 2}, // the rest of that second, a frame per tick
    };
    for (std::size_t step = 0; step < steps.size(); ++step) {
        ticks->tick(steps[step].first);
        EXPECT_EQ(frameIndex(), steps[step].second) << "tick " << step;
    }
}

TEST_F(AnimatedImageViewTest, StopsAfterTheRepeatCountOnTheLastFrameAndTellsItsDelegate)
{
    const auto delegate = std::make_shared<RecordingDelegate>();
    view.setDelegate(delegate);
    view.setRepeatCount(RepeatCount::finite(2));
    showPlayable({25, 25, 25});

    for (int tick = 0; tick < 6; ++tick)
        ticks->tick(0.25);
    EXPECT_EQ(delegate->loopsTold, (std::vector<unsigned>{1, 2}));
    EXPECT_EQ(delegate->finishes, 1);
    ASSERT_TRUE(waitUntil([&] { return centrePixel(view) == frameColor(2); }));

    // Only another repeat count starts a finished animation over.
    view.setRepeatCount(RepeatCount::finite(2));
    EXPECT_FALSE(view.animates());
    view.setRepeatCount(RepeatCount::once());
    EXPECT_TRUE(view.animates());
}

TEST_F(AnimatedImageViewTest, PausesWhileHiddenAndResumesWhereItStopped)
{
    showPlayable({25, 25, 25});
    ticks->tick(0.25);
    ticks->tick(0.25);
    view.hide();
    EXPECT_FALSE(ticks->running);
    view.show();
    ticks->tick(0.25);
    EXPECT_EQ(frameIndex(), 0);

    view.setAutoPlayAnimatedImage(false);
    view.hide();
    EXPECT_TRUE(view.animates());
}

TEST_F(AnimatedImageViewTest, OnlyAnotherImageObjectStartsOverAndStillsDoNotPlay)
{
    showPlayable();
    const ImagePtr image = view.image();
    ticks->tick(0.25);
    view.setImage(image);
    EXPECT_EQ(frameIndex(), 1);

    view.setImage(playableImage(*image->animatedImageData()));
    EXPECT_EQ(frameIndex(), 0);

    view.setImage(Tivrand::Testing::solidImage({10, 10}, Qt::yellow));
    EXPECT_FALSE(view.animates());
    EXPECT_EQ(centrePixel(view), QColor(Qt::yellow).rgb());
}

TEST_F(AnimatedImageViewTest, PrescalesFramesOnlyOnceTheViewHasItsSize)
{
    const ImagePtr image = playableImage(solidGif({120, 60}, 3));
    QWidget window;
    for (const bool sized : {false, true}) {
        auto* child = new AnimatedImageView(&window);
        if (sized)
            child->resize(40, 40);
        child->setImage(image);
        ASSERT_TRUE(waitUntil([&] { return child->animator()->frame(0) != nullptr; }));
        EXPECT_EQ(child->animator()->frame(0)->pixelSize(), sized ? QSize(40, 20) : QSize(120, 60));
    }
}

TEST(ImageScaling, PlacesTheImageInTheBounds)
{
    const QRectF bounds(0, 0, 100, 50);
    const struct { QSizeF image; ImageScaling scaling; QRectF expected; } cases[] = {
        {{20, 10}, ImageScaling::scaleNone, {40, 20, 20, 10}},
        {{20, 10}, ImageScaling::scaleAxesIndependently, bounds},
        {{20, 10}, ImageScaling::scaleProportionallyDown, {40, 20, 20, 10}},
        {{200, 50}, ImageScaling::scaleProportionallyDown, {0, 12.5, 100, 25}},
        {{20, 20}, ImageScaling::scaleProportionallyUpOrDown, {25, 0, 50, 50}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(imageScalingRect(c.image, bounds, c.scaling), c.expected) << c.image.width();
}

const QByteArray fourFrameGif = solidGif({8, 8}, 4);

bool advancesAFrame(const AnimatedImageView& view)
{
    return waitUntil([&] { return view.animator() && view.animator()->currentFrameIndex() > 0; }, 10s);
}

TEST(LMAnimatedImage, PlaysTheLoadedAnimationInAViewConfiguredInOrderEvenLate)
{
    // Under a cache key no other test uses.
    auto view = std::make_unique<LMAnimatedImage>(fourFrameGif, QUuid::createUuid().toString());
    std::vector<int> order;
    view->configure([&](AnimatedImageView& made) {
        order.push_back(1);
        made.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        made.setRepeatCount(AnimatedImageView::RepeatCount::once());
    });
    view->configure([&](AnimatedImageView& made) {
        order.push_back(made.repeatCount() == AnimatedImageView::RepeatCount::once() ? 2 : -2);
    });
    view->show();
    ASSERT_TRUE(waitUntil([&] { return view->animatedImageView() != nullptr; }, 10s));
    AnimatedImageView& made = *view->animatedImageView();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(made.sizePolicy().horizontalPolicy() & QSizePolicy::ShrinkFlag);
    EXPECT_TRUE(advancesAFrame(made));

    view->configure([&](AnimatedImageView& late) { order.push_back(&late == &made ? 3 : -3); });
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(AnimatedImageViewLoading, LoadsAGifThatPlaysFromItsFrameSource)
{
    AnimatedImageView view;
    view.show();
    bool loaded = false;
    lm(&view).setImage(std::make_shared<const RawImageDataProvider>(fourFrameGif, QUuid::createUuid().toString()),
                       nullptr, std::nullopt, {}, [&](const LumenManager::RetrieveResult& result) {
                           loaded = result.has_value();
                       });
    ASSERT_TRUE(waitUntil([&] { return loaded; }, 10s));
    EXPECT_TRUE(advancesAFrame(view));
}

} // namespace
} // namespace Lumen
