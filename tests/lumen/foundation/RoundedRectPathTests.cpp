#include "Lumen/foundation/RoundedRectPath.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <limits>

namespace Lumen {
namespace {

constexpr int side = 40;

// Fills the path opaque on a transparent bitmap; pixel (0, 0) is the top-left on screen.
QImage drawn(const QPainterPath& path, QSize size = {side, side})
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillPath(path, Qt::black);
    return image;
}

bool isFilled(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)) == 255; }

const struct CornerPixel {
    RectCorner corner;
    int x, y;
} cornerPixels[] = {{RectCorner::topLeft, 0, 0}, {RectCorner::topRight, side - 1, 0},
                    {RectCorner::bottomLeft, 0, side - 1}, {RectCorner::bottomRight, side - 1, side - 1}};

TEST(RoundedRectPath, EachCornerBitRoundsTheCornerSeenOnScreen)
{
    for (const CornerPixel& rounded : cornerPixels) {
        const QImage image = drawn(roundedRectPath(QRectF(0, 0, side, side), rounded.corner, 15));
        for (const CornerPixel& probe : cornerPixels) {
            EXPECT_EQ(isFilled(image, probe.x, probe.y), probe.corner != rounded.corner)
                << "rounded " << rounded.corner.rawValue() << ", probed " << probe.corner.rawValue();
        }
        EXPECT_TRUE(isFilled(image, side / 2, side / 2));
    }
}

TEST(RoundedRectPath, FourRadiiGoToTheirCorners)
{
    const QImage image = drawn(roundedRectPath(QRectF(0, 0, side, side), 0, 20, 4, 0));
    EXPECT_TRUE(isFilled(image, 0, 0));
    EXPECT_FALSE(isFilled(image, side - 4, 3)); // deep inside the top-right cut
    EXPECT_FALSE(isFilled(image, 0, side - 1));
    EXPECT_TRUE(isFilled(image, 2, side - 3));  // a radius of 4 cuts little
    EXPECT_TRUE(isFilled(image, side - 1, side - 1));
}

TEST(RoundedRectPath, RadiusIsLimitedToHalfTheShorterSide)
{
    const QRectF pill(0, 0, 40, 20);
    const QPainterPath path = roundedRectPath(pill, RectCorner::all, 1000);
    EXPECT_EQ(path.boundingRect(), pill);

    const QImage image = drawn(path, {40, 20});
    EXPECT_TRUE(isFilled(image, 1, 10));  // a round end, not a collapsed outline
    EXPECT_FALSE(isFilled(image, 1, 1));
    EXPECT_TRUE(isFilled(image, 20, 0));
}

TEST(RoundedRectPath, UnusableRadiiGiveSharpCornersAndUnusableRectanglesNothing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QImage image = drawn(roundedRectPath(QRectF(0, 0, side, side), -5, nan, -5, nan));
    for (const CornerPixel& probe : cornerPixels)
        EXPECT_TRUE(isFilled(image, probe.x, probe.y));
    const QRectF offset(10.5, 20, 30, 12);
    EXPECT_EQ(roundedRectPath(offset, RectCorner::topRight, 3).boundingRect(), offset);
    for (const QRectF& bad : {QRectF(0, 0, 0, 10), QRectF(0, 0, 10, -1), QRectF(0, 0, nan, 10)})
        EXPECT_TRUE(roundedRectPath(bad, RectCorner::all, 2).isEmpty());
}

} // namespace
} // namespace Lumen
