#include "Lumen/foundation/imaging/ImageFilter.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Lumen;
using namespace Tivrand::Testing;

// The tint colour's alpha decides what shows through; neutral colour controls change nothing.
TEST(ColourFilters, NeutralSettingsChangeNothingAndEachSettingMovesThePixels)
{
    const ImagePtr image = Image::make(detailedBitmap({16, 8}, true), 2.0);
    EXPECT_EQ(tinted(image, QColor(0, 0, 255, 0))->bitmap(), image->bitmap());
    const QColor mixed = tinted(solidImage({2, 2}, Qt::red), QColor(0, 0, 255, 128))->bitmap().pixelColor(0, 0);
    EXPECT_NEAR(mixed.red(), 127, 2);
    EXPECT_EQ(colorAdjusted(image, 0.0, 1.0, 1.0, 0.0)->bitmap(), image->bitmap());
    // Saturation 0 is grey and keeps alpha.
    const QRgb grey = colorAdjusted(image, 0.0, 1.0, 0.0, 0.0)->bitmap().pixel(12, 5);
    EXPECT_TRUE(qRed(grey) == qGreen(grey) && qGreen(grey) == qBlue(grey));
    EXPECT_EQ(qAlpha(grey), qAlpha(image->bitmap().pixel(12, 5)));
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
