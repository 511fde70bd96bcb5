#include "Lumen/foundation/LumenWrapper.h"
#include "Lumen/foundation/imaging/BitmapContext.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/ImageEncoding.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include <cmath>
#include <limits>

using namespace Lumen;
using namespace Tivrand::Testing;

namespace {

// A valid PNG of one pixel whose header claims `width` x `height`, checksum fixed up.
QByteArray pngClaiming(int width, int height)
{
    QByteArray png = encodedBitmap(solidBitmap({1, 1}, Qt::red), "png");
    // Signature (8), chunk length (4), "IHDR" (4), then width and height.
    qToBigEndian<std::uint32_t>(width, png.data() + 16);
    qToBigEndian<std::uint32_t>(height, png.data() + 20);
    qToBigEndian<std::uint32_t>(crc32(png.mid(12, 17)), png.data() + 29);
    return png;
}

// A small progressive JPEG whose frame header claims `width` x `height`.
QByteArray progressiveJpegClaiming(int width, int height)
{
    QByteArray jpeg = encodedBitmap(solidBitmap({16, 16}, Qt::blue), "jpeg", 90, true);
    const qsizetype frame = jpeg.indexOf(QByteArray::fromHex("FFC2"));
    // Marker (2), length (2), precision (1), then height and width.
    qToBigEndian<std::uint16_t>(height, jpeg.data() + frame + 5);
    qToBigEndian<std::uint16_t>(width, jpeg.data() + frame + 7);
    return jpeg;
}

} // namespace

TEST(ImageEncoding, EncodesByFormat)
{
    const ImagePtr image = solidImage({5, 3}, Qt::blue);
    EXPECT_EQ(imageFormat(lm(image).pngRepresentation().value_or(QByteArray())), ImageFormat::PNG);
    EXPECT_EQ(imageFormat(encodedData(image, ImageFormat::unknown, 1.0).value()), ImageFormat::PNG);
    EXPECT_EQ(imageFormat(encodedData(image, ImageFormat::JPEG, 1.0).value()), ImageFormat::JPEG);
    // GIF is never encoded: only the bytes an animated image came from are given back.
    EXPECT_FALSE(encodedData(image, ImageFormat::GIF, 1.0).has_value());
    const QByteArray gif = solidGif({4, 4}, 2);
    EXPECT_EQ(encodedData(imageFromData(gif, {}), ImageFormat::GIF, 1.0), std::optional(gif));
    EXPECT_FALSE(pngRepresentation(Image::makeEmpty()).has_value());
    EXPECT_FALSE(jpegRepresentation(image, std::nan("")).has_value());
    const ImagePtr detailed = Image::make(detailedBitmap({64, 64}));
    EXPECT_LT(jpegRepresentation(detailed, 0.1)->size(), jpegRepresentation(detailed, 1.0)->size());
}

// Bombs are refused before a decoder allocates for them, and only PNG, JPEG and GIF reach a
// decoder: Qt's plugins would rasterise the SVG and decode the icon, and no limit of ours bounds them.
TEST(ImageDecoding, UndecodableBytesBombsAndOtherFormatsGiveNothing)
{
    const std::pair<const char*, QByteArray> cases[] = {
        {"empty", QByteArray()},
        {"text", QByteArray("definitely not an image at all")},
        {"cut PNG", encodedBitmap(solidBitmap({8, 8}, Qt::red), "png").left(20)},
        {"a PNG header claiming gigabytes", pngClaiming(60000, 60000)},
        {"a text chunk claiming 2 GiB in 56 bytes", hostileFixture("png-text-claims-2gib.png")},
        {"a text chunk of 5 MiB", pngWithTextChunk(5 * 1024 * 1024)},
        // libjpeg holds a progressive image's coefficients at full size, however small the output.
        {"a progressive JPEG needing 430 MB", progressiveJpegClaiming(12000, 12000)},
        {"SVG", hostileFixture("svg-square.svg")},
        {"ICNS", hostileFixture("icns-rle-icon.icns")},
    };
    for (const auto& [name, data] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(imageFromData(data, {}), nullptr);
        EXPECT_EQ(stillImage(data), nullptr);
        EXPECT_EQ(downsampledImage(data, {100, 100}, 1.0), nullptr);
    }
    const QByteArray text = pngWithTextChunk(1024 * 1024);
    EXPECT_TRUE(stillImage(text) && downsampledImage(text, {1, 1}, 1.0));
}

TEST(ImageDecoding, ThumbnailsAreBoundedAndNeverEnlarged)
{
    const QImage split = splitBitmap({400, 240}, Qt::red, Qt::blue);
    EXPECT_EQ(downsampledImage(encodedBitmap(split, "jpeg", 90), {100, 60}, 2.0)->pixelSize(), QSize(200, 120));
    const QByteArray progressive = encodedBitmap(split, "jpeg", 90, true);
    EXPECT_EQ(downsampledImage(progressive, {1000, 10}, 1.0)->pixelSize(), QSize(400, 240));
    EXPECT_EQ(downsampledImage(encodedBitmap(split, "png"), {30, 30}, 1.0)->pixelSize(), QSize(30, 18));
    EXPECT_EQ(downsampledImage(progressive, {10, 10}, std::numeric_limits<double>::infinity()), nullptr);
}

TEST(BitmapContext, RefusesUnusableSizes)
{
    EXPECT_EQ(makeBitmapContext({3.9, 2.2}).size(), QSize(3, 2));
    const double inf = std::numeric_limits<double>::infinity();
    for (QSizeF size : {QSizeF(0, 10), QSizeF(0.5, 10), QSizeF(inf, 10), QSizeF(std::nan(""), 1), QSizeF(1e12, 1e12),
                        QSizeF(40000, 1), QSizeF(20000, 20000)})
        EXPECT_TRUE(makeBitmapContext(size).isNull()) << size.width() << " x " << size.height();
}
