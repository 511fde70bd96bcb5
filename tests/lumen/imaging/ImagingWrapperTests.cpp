#include "Lumen/foundation/LumenWrapper.h"
#include "Lumen/foundation/imaging/ImageFilter.h"
#include "Lumen/foundation/imaging/ImageFormat.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

using namespace Lumen;
using namespace Tivrand::Testing;

TEST(ImagingWrapper, ReachesTheOperationsThroughLm)
{
    const QByteArray png = encodedBitmap(solidBitmap({4, 4}, Qt::red), "png");
    EXPECT_EQ(lm(png).imageFormat(), ImageFormat::PNG);
    EXPECT_FALSE(lm(png).contains(JPEGMarker::SOS()));

    const ImagePtr image = solidImage({8, 4}, Qt::red);
    EXPECT_EQ(lm(image).scaled(1.0), image);
    EXPECT_EQ(lm(image).pixelSize(), QSize(8, 4));
    EXPECT_EQ(lm(ImagePtr()).pixelSize(), QSize(0, 0));
    EXPECT_EQ(lm(image).resized({4, 4}, ContentMode::aspectFit)->pixelSize(), QSize(4, 2));
    EXPECT_EQ(lm(image).data(ImageFormat::PNG, 1.0), lm(image).pngRepresentation());
    EXPECT_EQ(lm(image).tinted(Qt::blue)->bitmap().pixel(0, 0), qRgb(0, 0, 255));
}
