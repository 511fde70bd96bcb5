#include "Lumen/foundation/imaging/BoxBlur.h"
#include "Lumen/foundation/imaging/ImageBlur.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Lumen;
using namespace Tivrand::Testing;

namespace {

std::int64_t channelTotal(const QImage& image, int shift)
{
    std::int64_t total = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            total += (line[x] >> shift) & 0xFF;
    }
    return total;
}

// A single white dot in the middle of black, far from the edges.
QImage dot(QSize size)
{
    QImage image = solidBitmap(size, Qt::black);
    image.setPixel(size.width() / 2, size.height() / 2, qRgb(255, 255, 255));
    return image;
}

// The average of the b x b neighbourhood of (x, y), edges extended, for one channel.
double referenceBox(const QImage& image, int x, int y, int box, int shift)
{
    const int r = box / 2;
    double sum = 0;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const int sx = std::clamp(x + dx, 0, image.width() - 1);
            const int sy = std::clamp(y + dy, 0, image.height() - 1);
            sum += (image.pixel(sx, sy) >> shift) & 0xFF;
        }
    return sum / (box * box);
}

} // namespace

TEST(BoxBlurParameters, FollowTheRadius)
{
    using P = BoxBlurParameters;
    EXPECT_EQ(P::forRadius(0.3), (P{5, 1}));
    EXPECT_EQ(P::forRadius(1.0), (P{5, 2}));
    EXPECT_EQ(P::forRadius(2.0), (P{5, 3}));
    EXPECT_EQ(P::forRadius(-3.0), (P{5, 1}));
    EXPECT_EQ(P::forRadius(4.0), (P{9, 3}));
    EXPECT_EQ(P::forRadius(10.0), (P{19, 3}));
    EXPECT_EQ(P::forRadius(40.0), (P{75, 3}));
    EXPECT_FALSE(P::forRadius(std::numeric_limits<double>::infinity()).has_value());
    EXPECT_FALSE(P::forRadius(std::nan("")).has_value());
    EXPECT_FALSE(P::forRadius(1e12).has_value());
}

TEST(BoxBlur, MatchesTheBoxAverageWithExtendedEdges)
{
    QImage image(13, 9, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x)
            image.setPixel(x, y, qRgba((x * 19) % 256, (y * 29) % 256, ((x + y) * 7) % 200, 255));

    for (int box : {1, 5, 9, 31}) {
        const QImage blurred = boxBlurred(image, box, 1);
        ASSERT_FALSE(blurred.isNull());
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 13; ++x)
                for (int shift : {0, 8, 16})
                    EXPECT_NEAR((blurred.pixel(x, y) >> shift) & 0xFF, referenceBox(image, x, y, box, shift), 0.51)
                        << "box " << box << " at " << x << "," << y;
    }
}

TEST(BoxBlur, KeepsUniformImagesAndEnergy)
{
    const QImage uniform = solidBitmap({31, 17}, QColor(90, 140, 200, 255));
    EXPECT_EQ(boxBlurred(uniform, 19, 3), uniform);

    // A bright square in the dark, far from the edges: spread out, but none of its light lost
    // beyond rounding.
    QImage source = solidBitmap({101, 101}, Qt::black);
    for (int y = 45; y < 55; ++y)
        for (int x = 45; x < 55; ++x)
            source.setPixel(x, y, qRgb(255, 255, 255));
    const QImage blurred = boxBlurred(source, 9, 3);
    EXPECT_LT(qRed(blurred.pixel(45, 45)), 255);
    EXPECT_GT(qRed(blurred.pixel(60, 50)), 0);
    EXPECT_NEAR(channelTotal(blurred, 16), channelTotal(source, 16), channelTotal(source, 16) * 0.01);
    EXPECT_EQ(qAlpha(blurred.pixel(0, 0)), 255);
}

TEST(BoxBlur, RefusesUnusableBoxes)
{
    const QImage image = dot({8, 8});
    EXPECT_TRUE(boxBlurred(image, 4, 1).isNull());
    EXPECT_TRUE(boxBlurred(image, 0, 1).isNull());
    EXPECT_TRUE(boxBlurred(image, 5, 0).isNull());
    EXPECT_TRUE(boxBlurred(image, BoxBlurParameters::maxBoxSize + 2, 1).isNull());
    EXPECT_TRUE(boxBlurred(QImage(), 5, 1).isNull());
    // Boxes far larger than the image still average within it.
    EXPECT_FALSE(boxBlurred(image, 4095, 3).isNull());
}

TEST(ImageBlur, BlursAtThePixelSizeAndScaleOfTheInput)
{
    const ImagePtr image = Image::make(dot({40, 30}), 2.0);
    const ImagePtr result = blurred(image, 4.0);
    ASSERT_NE(result, image);
    EXPECT_EQ(result->pixelSize(), QSize(40, 30));
    EXPECT_EQ(result->scale(), 2.0);
    EXPECT_GT(qRed(result->bitmap().pixel(22, 15)), 0);
    // The blurred pixels of a premultiplied image stay valid: no colour above its alpha.
    for (int x = 0; x < 40; ++x)
        EXPECT_LE(qRed(result->bitmap().pixel(x, 15)), qAlpha(result->bitmap().pixel(x, 15)));
}

TEST(ImageBlur, UnusableInputComesBackUnchanged)
{
    const ImagePtr image = Image::make(dot({10, 10}));
    EXPECT_EQ(blurred(image, std::nan("")), image);
    EXPECT_EQ(blurred(image, 1e9), image);
    const ImagePtr empty = Image::makeEmpty();
    EXPECT_EQ(blurred(empty, 4.0), empty);
    EXPECT_EQ(blurred(nullptr, 4.0), nullptr);
}
