#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/WidgetPlaceholder.h"
#include "Lumen/views/ActivityIndicator.h"
#include "Lumen/views/ImageIndicator.h"
#include "Lumen/views/IndicatorPlacement.h"
#include "Lumen/views/IndicatorType.h"
#include "tests/lumen/imaging/TestImages.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QImage>

#include <chrono>

namespace Lumen {
namespace {

using namespace std::chrono_literals;
using namespace Tivrand::Testing;

QByteArray threeFrameGif()
{
    return solidGif({12, 8}, 3, 2);
}

QRgb centrePixel(QWidget& view)
{
    const QImage image = view.grab().toImage();
    return image.pixel(image.rect().center());
}

bool drawsSomething(QWidget& view)
{
    const QImage image = view.grab().toImage();
    QImage blank(image.size(), image.format());
    blank.fill(image.pixelColor(0, 0));
    return image != blank;
}

class IndicatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        imageView.resize(100, 80);
        imageView.show();
    }
    QWidget imageView;
};

TEST_F(IndicatorTest, ActivityIndicatorSpinsUntilEveryStartIsMatched)
{
    ActivityIndicator indicator;
    installIndicator(indicator, imageView);
    ActivityIndicatorView* spinner = indicator.activityIndicatorView();

    indicator.startAnimatingView();
    indicator.startAnimatingView();
    indicator.stopAnimatingView();
    EXPECT_TRUE(spinner->isVisible());
    EXPECT_TRUE(drawsSomething(*spinner));

    indicator.stopAnimatingView();
    EXPECT_FALSE(spinner->isAnimating());

    indicator.stopAnimatingView();
    EXPECT_EQ(indicator.animatingCount(), 0);
    indicator.startAnimatingView();
    EXPECT_TRUE(spinner->isVisible());
}

TEST_F(IndicatorTest, StartedIndicatorRisesAboveOverlaysAddedAfterIt)
{
    ActivityIndicator indicator;
    installIndicator(indicator, imageView);
    WidgetPlaceholder placeholder(std::make_unique<QWidget>());
    placeholder.addTo(imageView);
    indicator.startAnimatingView();
    EXPECT_EQ(imageView.children().last(), indicator.view()); // the topmost child
}

TEST_F(IndicatorTest, ImageIndicatorPlaysGifFramesWhileStarted)
{
    LumenParsedOptionsInfo options;
    options.preloadAllAnimationData = false;
    const auto indicator = ImageIndicator::make(threeFrameGif(), options);
    ASSERT_NE(indicator, nullptr);
    ImageIndicatorView* view = indicator->animatedImageIndicatorView();
    EXPECT_TRUE(view->image()->imageCreatingOptions()->preloadAll);
    installIndicator(*indicator, imageView);

    indicator->startAnimatingView();
    EXPECT_TRUE(waitUntil([&] { return view->currentFrameIndex() == 2; }));
    ASSERT_TRUE(waitUntil([&] { return view->currentFrameIndex() == 1; }));

    indicator->stopAnimatingView();
    EXPECT_FALSE(view->isVisible());
    pumpEvents(100ms);
    EXPECT_EQ(view->currentFrameIndex(), 1);
    EXPECT_EQ(centrePixel(*view), frameColor(1));

    // No count: one stop hides it after two starts.
    indicator->startAnimatingView();
    indicator->startAnimatingView();
    indicator->stopAnimatingView();
    EXPECT_FALSE(view->isVisible());
}

TEST_F(IndicatorTest, ImageIndicatorShowsStillImagesAndFirstFramesStill)
{
    LumenParsedOptionsInfo firstFrameOnly;
    firstFrameOnly.onlyLoadFirstFrame = true;
    const auto stills = {ImageIndicator::make(encodedBitmap(solidBitmap({10, 6}, Qt::yellow), "png")), ImageIndicator::make(threeFrameGif(), firstFrameOnly)};
    for (const auto& indicator : stills) {
        ASSERT_NE(indicator, nullptr);
        ImageIndicatorView* view = indicator->animatedImageIndicatorView();
        installIndicator(*indicator, imageView);
        indicator->startAnimatingView();
        EXPECT_TRUE(view->isVisible());
        EXPECT_EQ(view->geometry(), imageView.rect());
        pumpEvents(100ms);
        EXPECT_EQ(view->currentFrameIndex(), 0);
    }
}

TEST(IndicatorType, MakesTheIndicatorOfItsKind)
{
    const auto custom = std::make_shared<ActivityIndicator>();
    EXPECT_EQ(IndicatorType().makeIndicator(), nullptr);
    EXPECT_EQ(IndicatorType::image("GIF89a but nothing after that").makeIndicator(), nullptr);
    EXPECT_EQ(IndicatorType::custom(custom).makeIndicator(), custom);
    const IndicatorType activity = IndicatorType::activity();
    EXPECT_NE(dynamic_cast<ActivityIndicator*>(activity.makeIndicator().get()), nullptr);
    EXPECT_NE(activity.makeIndicator(), activity.makeIndicator());
    EXPECT_NE(dynamic_cast<ImageIndicator*>(IndicatorType::image(threeFrameGif()).makeIndicator().get()), nullptr);
}

} // namespace
} // namespace Lumen
