#include "Lumen/views/AnimatedImageView.h"
#include "tests/lumen/views/AnimationTesting.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace Lumen {
namespace {

using namespace AnimationTesting;
using Tivrand::Testing::waitUntil;
using RepeatCount = AnimatedImageRepeatCount;

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

    QRgb centrePixel()
    {
        const QImage image = view.grab().toImage();
        return image.pixel(image.rect().center());
    }

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

    for (int tick = 0; tick < 5; ++tick)
        ticks->tick(0.25);
    EXPECT_EQ(delegate->loopsTold, (std::vector<unsigned>{1, 2}));
    EXPECT_EQ(delegate->finishes, 0);
    ticks->tick(0.25);
    EXPECT_EQ(delegate->finishes, 1);
    EXPECT_FALSE(view.animates());
    ASSERT_TRUE(waitUntil([&] { return centrePixel() == frameColor(2); }));

    view.startAnimating();
    EXPECT_FALSE(view.animates());
    const auto finished = view.animator();
    view.setRepeatCount(RepeatCount::finite(2));
    EXPECT_EQ(view.animator(), finished);
    view.setRepeatCount(RepeatCount::once());
    EXPECT_NE(view.animator(), finished);
    EXPECT_TRUE(view.animates());
}

TEST_F(AnimatedImageViewTest, PausesWhileHiddenAndResumesWhereItStopped)
{
    showPlayable({25, 25, 25});
    ticks->tick(0.25);
    ticks->tick(0.25);
    const auto animator = view.animator();

    view.hide();
    EXPECT_FALSE(ticks->running);
    view.show();
    EXPECT_EQ(view.animator(), animator);
    EXPECT_EQ(frameIndex(), 2);
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
    const auto animator = view.animator();
    view.setImage(image);
    EXPECT_EQ(view.animator(), animator);
    EXPECT_EQ(frameIndex(), 1);

    view.setImage(playableImage(*image->animatedImageData()));
    EXPECT_NE(view.animator(), animator);
    EXPECT_EQ(frameIndex(), 0);

    view.setImage(Tivrand::Testing::solidImage({10, 10}, Qt::yellow));
    EXPECT_FALSE(view.animates());
    EXPECT_EQ(centrePixel(), QColor(Qt::yellow).rgb());
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
        {{400, 10}, ImageScaling::scaleNone, {-150, 20, 400, 10}},
        {{20, 10}, ImageScaling::scaleAxesIndependently, bounds},
        {{20, 10}, ImageScaling::scaleProportionallyDown, {40, 20, 20, 10}},
        {{200, 50}, ImageScaling::scaleProportionallyDown, {0, 12.5, 100, 25}},
        {{20, 20}, ImageScaling::scaleProportionallyUpOrDown, {25, 0, 50, 50}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(imageScalingRect(c.image, bounds, c.scaling), c.expected) << c.image.width();
}

} // namespace
} // namespace Lumen
