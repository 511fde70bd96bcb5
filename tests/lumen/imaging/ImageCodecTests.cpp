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

QByteArray pngWithTextChunk(qsizetype textBytes)
{
    return pngWith(pngChunk("tEXt", QByteArray("Comment") + '\0' + QByteArray(textBytes, 'x')));
}

} // namespace

TEST(ImageEncoding, EncodesByFormat)
{
    const ImagePtr image = solidImage({5, 3}, Qt::blue);
    const auto png = encodedData(image, ImageFormat::unknown, 1.0);
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(imageFormat(*png), ImageFormat::PNG);
    EXPECT_EQ(encodedData(image, ImageFormat::PNG, 1.0), png);
    EXPECT_EQ(lm(image).pngRepresentation(), png);

    const auto jpeg = encodedData(image, ImageFormat::JPEG, 1.0);
    ASSERT_TRUE(jpeg.has_value());
    EXPECT_EQ(imageFormat(*jpeg), ImageFormat::JPEG);
    EXPECT_EQ(stillImage(*jpeg)->pixelSize(), QSize(5, 3));

    // GIF is never encoded: only the bytes an animated image came from are given back.
    EXPECT_FALSE(encodedData(image, ImageFormat::GIF, 1.0).has_value());
    const QByteArray gif = solidGif({4, 4}, 2);
    EXPECT_EQ(encodedData(imageFromData(gif, {}), ImageFormat::GIF, 1.0), std::optional(gif));

    // Nothing to encode gives nothing.
    EXPECT_FALSE(pngRepresentation(nullptr).has_value());
    EXPECT_FALSE(pngRepresentation(Image::makeEmpty()).has_value());
    EXPECT_FALSE(jpegRepresentation(Image::makeEmpty(), 1.0).has_value());
    EXPECT_FALSE(jpegRepresentation(image, std::nan("")).has_value());
    EXPECT_EQ(lm(ImagePtr()).pixelSize(), QSize(0, 0));
}

TEST(ImageEncoding, JpegQualityShrinksTheBytes)
{
    QImage noise(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            noise.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * x + y) % 256, (y * 53) % 256));
    const ImagePtr image = Image::make(noise);
    EXPECT_LT(jpegRepresentation(image, 0.1)->size(), jpegRepresentation(image, 1.0)->size());
    EXPECT_EQ(jpegRepresentation(image, 7.0), jpegRepresentation(image, 1.0));
}

TEST(ImageDecoding, StillFormatsCarryNoAnimation)
{
    const QImage bitmap = splitBitmap({10, 6}, Qt::red, Qt::green);
    for (const char* format : {"png", "jpeg"}) {
        const ImagePtr image = imageFromData(encodedBitmap(bitmap, format, 100), {});
        ASSERT_TRUE(image) << format;
        EXPECT_EQ(image->pixelSize(), QSize(10, 6));
        EXPECT_EQ(image->scale(), 1.0);
        EXPECT_FALSE(image->imageFrameCount().has_value());
        EXPECT_FALSE(image->frameSource());
        EXPECT_FALSE(image->animatedImageData().has_value());
    }
    const ImagePtr gif = imageFromData(solidGif({4, 4}, 3), {});
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->imageFrameCount(), 3);
}

TEST(ImageDecoding, UndecodableBytesAndBombsGiveNothing)
{
    EXPECT_EQ(imageFromData(QByteArray(), {}), nullptr);
    EXPECT_EQ(imageFromData(QByteArray("definitely not an image at all"), {}), nullptr);
    EXPECT_EQ(imageFromData(encodedBitmap(solidBitmap({8, 8}, Qt::red), "png").left(20), {}), nullptr);

    // A header claiming gigabytes.
    const QByteArray bomb = pngClaiming(60000, 60000);
    ASSERT_LT(bomb.size(), 1024);
    EXPECT_EQ(stillImage(bomb), nullptr);
    EXPECT_EQ(imageFromData(bomb, {}), nullptr);
    EXPECT_EQ(downsampledImage(bomb, {100, 100}, 1.0), nullptr);
}

TEST(ImageDecoding, OnlyPNGJPEGAndGIFReachADecoder)
{
    // Qt's plugins would rasterise the SVG and decode the icon; no limit of ours bounds them.
    for (const char* name : {"svg-square.svg", "icns-rle-icon.icns"}) {
        const QByteArray data = hostileFixture(name);
        ASSERT_FALSE(data.isEmpty()) << name;
        EXPECT_EQ(imageFromData(data, {}), nullptr) << name;
        EXPECT_EQ(stillImage(data), nullptr) << name;
        EXPECT_EQ(downsampledImage(data, {10, 10}, 1.0), nullptr) << name;
    }
}

TEST(ImageDecoding, PNGChunksAreCheckedBeforeLibpngAllocatesThem)
{
    const struct {
        const char* name;
        QByteArray data;
        bool decodes;
    } cases[] = {
        {"a text chunk claiming 2 GiB in 56 bytes", hostileFixture("png-text-claims-2gib.png"), false},
        {"a text chunk of 5 MiB", pngWithTextChunk(5 * 1024 * 1024), false},
        {"a text chunk of 1 MiB", pngWithTextChunk(1024 * 1024), true},
    };
    for (const auto& [name, data, decodes] : cases) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(data.isEmpty());
        EXPECT_EQ(stillImage(data) != nullptr, decodes);
        EXPECT_EQ(downsampledImage(data, {1, 1}, 1.0) != nullptr, decodes);
    }
}

TEST(ImageDecoding, JPEGCoefficientMemoryIsBoundedAtAnyOutputSize)
{
    // libjpeg holds a progressive image's coefficients at full size, however small the
    // output: about 430 MB for these few hundred bytes.
    const QByteArray bomb = progressiveJpegClaiming(12000, 12000);
    EXPECT_EQ(downsampledImage(bomb, {100, 100}, 1.0), nullptr);
    EXPECT_EQ(stillImage(bomb), nullptr);

    const QByteArray progressive = encodedBitmap(splitBitmap({400, 240}, Qt::red, Qt::blue), "jpeg", 90, true);
    const ImagePtr thumbnail = downsampledImage(progressive, {100, 100}, 1.0);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->pixelSize(), QSize(100, 60));
}

TEST(ImageDecoding, ThumbnailsAreBoundedAndNeverEnlarged)
{
    const QByteArray jpeg = encodedBitmap(splitBitmap({400, 240}, Qt::red, Qt::blue), "jpeg", 90);

    const ImagePtr thumbnail = downsampledImage(jpeg, {100, 60}, 2.0);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->pixelSize(), QSize(200, 120));
    // Colours are still where they were.
    EXPECT_GT(qRed(thumbnail->bitmap().pixel(10, 60)), 200);
    EXPECT_GT(qBlue(thumbnail->bitmap().pixel(190, 60)), 200);

    EXPECT_EQ(downsampledImage(jpeg, {1000, 10}, 1.0)->pixelSize(), QSize(400, 240));
    const QByteArray png = encodedBitmap(solidBitmap({300, 100}, Qt::red), "png");
    EXPECT_EQ(downsampledImage(png, {30, 30}, 1.0)->pixelSize(), QSize(30, 10));

    EXPECT_EQ(downsampledImage(QByteArray("nope"), {10, 10}, 1.0), nullptr);
    EXPECT_EQ(downsampledImage(jpeg, {0, 0}, 1.0), nullptr);
    EXPECT_EQ(downsampledImage(jpeg, {10, 10}, std::numeric_limits<double>::infinity()), nullptr);
}

TEST(BitmapContext, RefusesUnusableSizes)
{
    const QImage context = makeBitmapContext({3.9, 2.2});
    EXPECT_EQ(context.size(), QSize(3, 2));
    EXPECT_EQ(context.pixel(1, 1), 0u);

    const double inf = std::numeric_limits<double>::infinity();
    for (QSizeF size : {QSizeF(0, 10), QSizeF(10, -1), QSizeF(0.5, 10), QSizeF(inf, 10), QSizeF(std::nan(""), 1),
                        QSizeF(1e12, 1e12), QSizeF(40000, 1), QSizeF(20000, 20000)})
        EXPECT_TRUE(makeBitmapContext(size).isNull()) << size.width() << " x " << size.height();
}
