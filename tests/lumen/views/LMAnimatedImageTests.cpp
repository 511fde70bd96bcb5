#include "Lumen/views/LMAnimatedImage.h"

#include "Lumen/retrieval/RawImageDataProvider.h"
#include "Lumen/views/AnimatedImageView.h"
#include "Lumen/views/loading/ImageViewLoading.h"
#include "tests/lumen/views/AnimationTesting.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QUuid>

using namespace Lumen;
using Tivrand::Testing::waitUntil;
using namespace std::chrono_literals;

namespace {

const QByteArray fourFrameGif = AnimationTesting::solidGif({8, 8}, 4);

// Under a cache key no other test uses.
std::unique_ptr<LMAnimatedImage> gifView()
{
    return std::make_unique<LMAnimatedImage>(fourFrameGif, QUuid::createUuid().toString());
}

bool advancesAFrame(const AnimatedImageView& view)
{
    return waitUntil([&] { return view.animator() && view.animator()->currentFrameIndex() > 0; }, 10s);
}

TEST(LMAnimatedImage, PlaysTheLoadedAnimationInItsView)
{
    auto view = gifView();
    view->show();
    ASSERT_TRUE(waitUntil([&] { return view->animatedImageView() != nullptr; }, 10s));
    EXPECT_EQ(view->animatedImageView()->image(), view->binder().loadedImage());
    EXPECT_TRUE(advancesAFrame(*view->animatedImageView()));
}

TEST(LMAnimatedImage, ConfigurationsShapeTheMadeViewInOrderAndLayoutsMayShrinkIt)
{
    auto view = gifView();
    std::vector<int> order;
    view->configure([&](AnimatedImageView& made) {
        order.push_back(1);
        made.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        made.setRepeatCount(AnimatedImageView::RepeatCount::once());
    });
    view->configure([&](AnimatedImageView& made) {
        order.push_back(made.repeatCount() == AnimatedImageView::RepeatCount::once() ? 2 : -2);
    });
    EXPECT_TRUE(order.empty()) << "no view before the load ends";

    view->show();
    ASSERT_TRUE(waitUntil([&] { return view->animatedImageView() != nullptr; }, 10s));
    AnimatedImageView& made = *view->animatedImageView();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(made.sizePolicy().horizontalPolicy() & QSizePolicy::ShrinkFlag);
    EXPECT_TRUE(made.sizePolicy().verticalPolicy() & QSizePolicy::ShrinkFlag);

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
