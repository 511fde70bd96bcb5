#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/WidgetPlaceholder.h"
#include "Lumen/views/ActivityIndicator.h"
#include "Lumen/views/ImageIndicator.h"
#include "Lumen/views/IndicatorPlacement.h"
#include "Lumen/views/IndicatorType.h"
#include "tests/lumen/views/AnimationTesting.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace Lumen {
namespace {

using namespace std::chrono_literals;
using namespace Tivrand::Testing;

const QByteArray threeFrameGif = solidGif({12, 8}, 3, 2);

bool drawsSomething(QWidget& view)
{
    const QImage image = view.grab().toImage();
    QImage blank(image.size(), image.format());
    blank.fill(image.pixelColor(0, 0));
    return image != blank;
}

// A caller's own indicator; without an offset or a strategy it keeps the shared defaults.
class CustomIndicator final : public Indicator {
public:
    CustomIndicator(std::optional<QPointF> offset = std::nullopt,
                    std::optional<IndicatorSizeStrategy> strategy = std::nullopt)
        : m_offset(offset), m_strategy(strategy) {}
    ~CustomIndicator() override { delete m_widget.data(); }

    void startAnimatingView() override { m_widget->show(); }
    void stopAnimatingView() override { m_widget->hide(); }
    QWidget* view() const override { return m_widget; }
    QPointF centerOffset() const override { return m_offset.value_or(Indicator::centerOffset()); }
    IndicatorSizeStrategy sizeStrategy(const QWidget& imageView) const override
    {
        return m_strategy.value_or(Indicator::sizeStrategy(imageView));
    }

private:
    QPointer<QWidget> m_widget = new QWidget;
    std::optional<QPointF> m_offset;
    std::optional<IndicatorSizeStrategy> m_strategy;
};

class IndicatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        imageView.resize(200, 100);
        imageView.show();
    }
    QWidget imageView;
};

TEST_F(IndicatorTest, CentresByStrategyAndOffsetAndFollowsResizes)
{
    // `placed` over 200 x 100, `resized` over 300 x 160.
    struct Case { const char* name; std::function<std::shared_ptr<Indicator>()> make; QRect placed; QRect resized; };
    const auto fixed = [] {
        return std::make_shared<CustomIndicator>(QPointF(10, -6), IndicatorSizeStrategy::size({40, 20}));
    };
    const auto wild = [] {
        return std::make_shared<CustomIndicator>(QPointF(qQNaN(), 0), IndicatorSizeStrategy::size({-5, qInf()}));
    };
    const Case cases[] = {
        {"activity: own size", [] { return std::make_shared<ActivityIndicator>(); }, {92, 42, 16, 16},
         {142, 72, 16, 16}},
        {"fixed size, offset", fixed, {90, 34, 40, 20}, {140, 64, 40, 20}},
        {"shared defaults: full", [] { return std::make_shared<CustomIndicator>(); }, {0, 0, 200, 100},
         {0, 0, 300, 160}},
        {"wild input stays bounded", wild, {100, 50, 0, 0}, {150, 80, 0, 0}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        imageView.resize(200, 100);
        const auto indicator = test.make();
        QWidget* view = indicator->view();
        installIndicator(*indicator, imageView);
        EXPECT_EQ(view->geometry(), test.placed);
        imageView.resize(300, 160);
        EXPECT_EQ(view->geometry(), test.resized);
    }
}

TEST_F(IndicatorTest, MovesBetweenViewsAndLeavesCleanly)
{
    QWidget otherView;
    otherView.resize(60, 40);
    otherView.show();
    CustomIndicator indicator;
    QWidget* view = indicator.view();
    installIndicator(indicator, imageView);
    installIndicator(indicator, otherView);
    imageView.resize(10, 10);
    EXPECT_EQ(view->geometry(), otherView.rect());

    uninstallIndicator(indicator);
    otherView.resize(30, 30);
    EXPECT_EQ(view->geometry(), QRect(0, 0, 60, 40));
}

TEST_F(IndicatorTest, BuiltInIndicatorOutlivesItsImageViewTakesItsViewAlongAndNeverShowsAsAWindow)
{
    auto indicator = std::make_shared<ActivityIndicator>();
    indicator->startAnimatingView();
    EXPECT_TRUE(indicator->view()->isHidden());
    indicator->stopAnimatingView();
    {
        QWidget shortLived;
        installIndicator(*indicator, shortLived);
    }
    EXPECT_EQ(indicator->view(), nullptr);
    installIndicator(*indicator, imageView);
    indicator->startAnimatingView();
    indicator.reset();
    EXPECT_TRUE(imageView.findChildren<QWidget*>().isEmpty());
}

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
    indicator.stopAnimatingView();
    indicator.startAnimatingView();
    EXPECT_EQ(indicator.animatingCount(), 1) << "an unmatched stop counts for nothing";
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
    const auto indicator = ImageIndicator::make(threeFrameGif, options);
    ASSERT_NE(indicator, nullptr);
    ImageIndicatorView* view = indicator->animatedImageIndicatorView();
    installIndicator(*indicator, imageView);

    indicator->startAnimatingView();
    ASSERT_TRUE(waitUntil([&] { return view->currentFrameIndex() == 1; }));
    indicator->stopAnimatingView();
    pumpEvents(100ms);
    EXPECT_EQ(view->currentFrameIndex(), 1);

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
    const auto stills = {ImageIndicator::make(encodedBitmap(solidBitmap({10, 6}, Qt::yellow), "png")),
                         ImageIndicator::make(threeFrameGif, firstFrameOnly)};
    for (const auto& indicator : stills) {
        ASSERT_NE(indicator, nullptr);
        ImageIndicatorView* view = indicator->animatedImageIndicatorView();
        installIndicator(*indicator, imageView);
        indicator->startAnimatingView();
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
    EXPECT_NE(activity.makeIndicator(), activity.makeIndicator());
    EXPECT_NE(dynamic_cast<ImageIndicator*>(IndicatorType::image(threeFrameGif).makeIndicator().get()), nullptr);
}

} // namespace
} // namespace Lumen
