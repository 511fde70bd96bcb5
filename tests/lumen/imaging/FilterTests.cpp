#include "Lumen/foundation/imaging/BoxBlur.h"
#include "Lumen/foundation/imaging/ImageBlur.h"
#include "Lumen/foundation/imaging/ImageFilter.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Lumen;
using namespace Tivrand::Testing;

TEST(BoxBlurParameters, FollowTheRadius)
{
    using P = BoxBlurParameters;
    const std::pair<double, std::optional<P>> cases[] = {{0.3, P{5, 1}}, {1.0, P{5, 2}}, {2.0, P{5, 3}},
        {-3.0, P{5, 1}}, {4.0, P{9, 3}}, {40.0, P{75, 3}}, {std::numeric_limits<double>::infinity(), std::nullopt},
        {std::nan(""), std::nullopt}, {1e12, std::nullopt}};
    for (const auto& [radius, expected] : cases)
        EXPECT_EQ(BoxBlurParameters::forRadius(radius), expected) << radius;
}

TEST(BoxBlur, AveragesTheBoxAndExtendsTheEdges)
{
    QImage dot = solidBitmap({13, 9}, Qt::black);
    dot.setPixel(6, 4, qRgb(250, 250, 250));
    // One bright pixel spreads evenly over its 5 x 5 box.
    EXPECT_EQ(qRed(boxBlurred(dot, 5, 1).pixel(8, 2)), 10);
    // Beyond the edges lies more of the edge, not black: a flat image stays flat.
    const QImage grey = solidBitmap({13, 9}, QColor(120, 120, 120));
    EXPECT_EQ(boxBlurred(grey, 31, 1).pixel(0, 0), grey.pixel(0, 0));
}

TEST(BoxBlur, UnusableInputAndBuffersBeyondTheBitmapBudgetAreRefused)
{
    const QImage dot = solidBitmap({8, 8}, Qt::black);
    for (auto [box, passes] : {std::pair{4, 1}, {0, 1}, {5, 0}, {BoxBlurParameters::maxBoxSize + 2, 1}})
        EXPECT_TRUE(boxBlurred(dot, box, passes).isNull()) << box << " x " << passes;
    // Boxes far larger than the image still average within it.
    EXPECT_FALSE(boxBlurred(dot, 4095, 3).isNull());
    EXPECT_FALSE(blurred(Image::makeEmpty(), 4.0)->hasBitmap());

    // The ring of row sums holds up to twice the image's bytes, so a large box over a large image
    // would pass the bitmap budget several times over.
    const ImagePtr big = solidImage({4096, 2800}, Qt::black);
    EXPECT_FALSE(boxBlurred(big->bitmap(), 5, 1).isNull());
    EXPECT_TRUE(boxBlurred(big->bitmap(), 2801, 1).isNull());
    EXPECT_EQ(blurred(big, 2000.0), big);
}

TEST(ImageBlur, BlursAtThePixelSizeAndScaleOfTheInput)
{
    QImage dot = solidBitmap({40, 30}, Qt::black);
    dot.setPixel(20, 15, qRgb(255, 255, 255));
    const ImagePtr image = Image::make(dot, 2.0);
    const ImagePtr result = blurred(image, 4.0);
    EXPECT_GT(qRed(result->bitmap().pixel(22, 15)), 0);
    // The blurred pixels of a premultiplied image stay valid: no colour above its alpha.
    for (int x = 0; x < 40; ++x)
        EXPECT_LE(qRed(result->bitmap().pixel(x, 15)), qAlpha(result->bitmap().pixel(x, 15)));
}

// The tint colour's alpha decides what shows through; neutral colour controls change nothing.
TEST(ColourFilters, NeutralSettingsChangeNothingAndEachSettingMovesThePixels)
{
    const ImagePtr image = Image::make(detailedBitmap({16, 8}, true), 2.0);
    EXPECT_EQ(tinted(image, QColor(0, 0, 255, 0))->bitmap(), image->bitmap());
    EXPECT_EQ(colorAdjusted(image, 0.0, 1.0, 1.0, 0.0)->bitmap(), image->bitmap());
    // Saturation 0 is grey and keeps alpha.
    const QRgb grey = colorAdjusted(image, 0.0, 1.0, 0.0, 0.0)->bitmap().pixel(12, 5);
    EXPECT_EQ(grey, qRgba(qRed(grey), qRed(grey), qRed(grey), qAlpha(image->bitmap().pixel(12, 5))));
    // A stop of exposure doubles linear light: sRGB 128 (0.2158 linear) becomes 0.4317, sRGB 175.
    const ImagePtr mid = solidImage({2, 2}, QColor(128, 64, 32));
    EXPECT_NEAR(colorAdjusted(mid, 0.0, 1.0, 1.0, 1.0)->bitmap().pixelColor(0, 0).red(), 175, 1);
}

TEST(Filters, NoOutputLeavesTheInputAndAnotherSizeIsBroughtBack)
{
    const ImagePtr image = solidImage({16, 8}, Qt::red);
    EXPECT_EQ(applying(image, Filter([](const QImage&) { return QImage(); })), image);
    EXPECT_EQ(colorAdjusted(image, std::nan(""), 1.0, 1.0, 0.0), image);
    EXPECT_EQ(tinted(image, QColor()), image);
    const ImagePtr fixed = applying(image, Filter([](const QImage& input) { return input.scaled(4, 4); }));
    EXPECT_EQ(fixed->pixelSize(), QSize(16, 8));
}
