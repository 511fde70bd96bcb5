#include "Lumen/foundation/Geometry.h"
#include "Lumen/foundation/LumenWrapper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace Lumen {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

TEST(GeometryAspect, FitsAndFillsByAspect)
{
    EXPECT_EQ(constrainedSize({200, 100}, {100, 100}), QSizeF(100, 50));
    EXPECT_EQ(fillingSize({200, 100}, {100, 100}), QSizeF(200, 100));
    EXPECT_EQ(constrainedSize({100, 200}, {100, 100}), QSizeF(50, 100));
    EXPECT_EQ(fillingSize({100, 200}, {100, 100}), QSizeF(100, 200));
}

TEST(GeometryAspect, RoundsHalvesAwayFromZero)
{
    // 3:2 into height 5 gives width 7.5, which rounds up to 8.
    EXPECT_EQ(constrainedSize({3, 2}, {10, 5}), QSizeF(8, 5));
    // 4:1 filling width 10 gives height 2.5, which rounds up to 3.
    EXPECT_EQ(fillingSize({4, 1}, {10, 1}), QSizeF(10, 3));
}

TEST(GeometryAspect, ResizeChoosesByContentMode)
{
    EXPECT_EQ(resizedSize({400, 200}, {100, 100}, ContentMode::none), QSizeF(100, 100));
    EXPECT_EQ(resizedSize({400, 200}, {100, 100}, ContentMode::aspectFit), QSizeF(100, 50));
    EXPECT_EQ(resizedSize({400, 200}, {100, 100}, ContentMode::aspectFill), QSizeF(200, 100));
}

TEST(GeometryAspect, ZeroSidesCountAsSquare)
{
    EXPECT_EQ(constrainedSize({200, 0}, {300, 40.4}), QSizeF(40, 40.4));
    EXPECT_EQ(fillingSize({200, 0}, {300, 40}), QSizeF(300, 300));
    // A zero width must not divide by a zero aspect.
    EXPECT_EQ(constrainedSize({0, 100}, {50, 80}), QSizeF(50, 50));
    EXPECT_EQ(fillingSize({0, 100}, {50, 80}), QSizeF(80, 80));
    EXPECT_EQ(fillingSize({0, 0}, {50, 80}), QSizeF(80, 80));
}

TEST(GeometryAspect, NonFiniteInputGivesEmptySize)
{
    for (const QSizeF& bad : {QSizeF(nan, 10), QSizeF(10, nan), QSizeF(infinity, 10), QSizeF(10, -infinity)}) {
        EXPECT_EQ(constrainedSize(bad, {100, 100}), QSizeF(0, 0));
        EXPECT_EQ(fillingSize(bad, {100, 100}), QSizeF(0, 0));
        EXPECT_EQ(constrainedSize({100, 100}, bad), QSizeF(0, 0));
        EXPECT_EQ(fillingSize({100, 100}, bad), QSizeF(0, 0));
    }
}

TEST(GeometryAspect, OverflowingResultGivesEmptySize)
{
    const QSizeF sliver(1e-300, 1);
    const QSizeF filled = fillingSize(sliver, {1e10, 1});
    EXPECT_TRUE(std::isfinite(filled.width()) && std::isfinite(filled.height()));
    EXPECT_EQ(filled, QSizeF(0, 0));
}

TEST(GeometryCrop, AnchorPlacesTheCrop)
{
    EXPECT_EQ(constrainedRect({100, 80}, {50, 40}, {0, 0}), QRectF(0, 0, 50, 40));
    EXPECT_EQ(constrainedRect({100, 80}, {50, 40}, {0.5, 0.5}), QRectF(25, 20, 50, 40));
    EXPECT_EQ(constrainedRect({100, 80}, {50, 40}, {1, 1}), QRectF(50, 40, 50, 40));
}

TEST(GeometryCrop, StaysInsideTheImage)
{
    EXPECT_EQ(constrainedRect({100, 80}, {300, 300}, {0.5, 0.5}), QRectF(0, 0, 100, 80));
    EXPECT_EQ(constrainedRect({100, 80}, {50, 40}, {-3, 7}), QRectF(0, 40, 50, 40));
    EXPECT_EQ(constrainedRect({100, 80}, {50, 40}, {nan, 1}), QRectF(0, 40, 50, 40));
    EXPECT_TRUE(constrainedRect({100, 80}, {nan, 40}, {0.5, 0.5}).isEmpty());
}

TEST(GeometryCrop, WrapperForwardsSizeOperations)
{
    const auto size = lm(QSizeF(200, 100));
    EXPECT_EQ(size.constrained({100, 100}), QSizeF(100, 50));
    EXPECT_EQ(size.filling({100, 100}), QSizeF(200, 100));
    EXPECT_EQ(size.resize({10, 10}, ContentMode::none), QSizeF(10, 10));
    EXPECT_EQ(size.constrainedRect({100, 100}, {0.5, 0.5}), QRectF(50, 0, 100, 100));
}

} // namespace
} // namespace Lumen
