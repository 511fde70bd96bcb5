#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageFormat.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>

namespace Lumen {
namespace {

QImage sampleBitmap()
{
    QImage bitmap(8, 6, QImage::Format_ARGB32);
    bitmap.fill(QColor(200, 40, 40));
    return bitmap;
}

QByteArray encode(const QImage& bitmap, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(bitmap);
    return bytes;
}

// The signature and a little more: enough to be recognised as GIF, not a decodable image.
const QByteArray gifBytes = QByteArray("GIF89a") + QByteArray(16, '\0');

LumenParsedOptionsInfo scaledBy(double factor)
{
    return LumenParsedOptionsInfo(LumenOptionsInfo{Option::ScaleFactor{factor}});
}

TEST(DefaultImageProcessor, IsOneSharedProcessorWithTheEmptyIdentifier)
{
    EXPECT_EQ(DefaultImageProcessor::shared(), DefaultImageProcessor::shared());
    EXPECT_EQ(DefaultImageProcessor::shared()->identifier(), QString());
    EXPECT_EQ(DefaultImageProcessor::shared()->description(), QStringLiteral("ImageProcessor(identifier: \"\")"));
}

TEST(DefaultImageProcessor, ImagesComeBackAtTheRequestedScale)
{
    const auto& processor = *DefaultImageProcessor::shared();
    const auto image = Image::make(sampleBitmap());

    EXPECT_EQ(processor.process({image}, scaledBy(1.0)), image);

    const auto doubled = processor.process({image}, scaledBy(2.0));
    ASSERT_NE(doubled, nullptr);
    EXPECT_NE(doubled, image);
    EXPECT_EQ(doubled->scale(), 2.0);
    EXPECT_EQ(doubled->bitmap().cacheKey(), image->bitmap().cacheKey());

    const auto empty = Image::makeEmpty();
    EXPECT_EQ(processor.process({empty}, scaledBy(2.0)), empty);
    EXPECT_EQ(processor.process({ImagePtr()}, scaledBy(2.0)), nullptr);
}

TEST(DefaultImageProcessor, DecodesDataAndAnswersNullForGarbage)
{
    const auto& processor = *DefaultImageProcessor::shared();
    const auto decoded = processor.process({encode(sampleBitmap(), "png")}, LumenParsedOptionsInfo());
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->pixelSize(), QSize(8, 6));

    EXPECT_EQ(processor.process({QByteArray("not an image at all")}, LumenParsedOptionsInfo()), nullptr);
    EXPECT_EQ(processor.process({QByteArray()}, LumenParsedOptionsInfo()), nullptr);
}

TEST(ImageProcessItem, DescribesItsCase)
{
    EXPECT_EQ(ImageProcessItem{QByteArray(12, 'x')}.description(), QStringLiteral("data(12 bytes)"));
    EXPECT_TRUE(ImageProcessItem{Image::makeEmpty()}.description().startsWith(QStringLiteral("image(<Lumen::Image: 0x")));
}

TEST(DefaultCacheSerializer, EncodesAnewInTheOriginalsFormat)
{
    const DefaultCacheSerializer serializer;
    const auto image = Image::make(sampleBitmap());
    const QByteArray jpeg = encode(sampleBitmap(), "jpeg");

    const auto fromJpeg = serializer.data(image, jpeg);
    ASSERT_TRUE(fromJpeg.has_value());
    EXPECT_EQ(imageFormat(*fromJpeg), ImageFormat::JPEG);
    EXPECT_NE(*fromJpeg, jpeg);

    const auto withoutOriginal = serializer.data(image, std::nullopt);
    ASSERT_TRUE(withoutOriginal.has_value());
    EXPECT_EQ(imageFormat(*withoutOriginal), ImageFormat::PNG);

    // GIF is never encoded: an image without its animated bytes has nothing to store.
    EXPECT_FALSE(serializer.data(image, gifBytes).has_value());
    EXPECT_FALSE(serializer.usesOriginalData());
}

TEST(DefaultCacheSerializer, PreferringTheOriginalStoresItUnchanged)
{
    DefaultCacheSerializer serializer;
    serializer.preferCacheOriginalData = true;
    const auto image = Image::make(sampleBitmap());
    const QByteArray original("any bytes at all, even undecodable ones");

    EXPECT_EQ(serializer.data(image, original), original);
    const auto withoutOriginal = serializer.data(image, std::nullopt);
    ASSERT_TRUE(withoutOriginal.has_value());
    EXPECT_EQ(imageFormat(*withoutOriginal), ImageFormat::PNG);
    EXPECT_TRUE(serializer.usesOriginalData());
}

TEST(DefaultCacheSerializer, NothingToEncodeGivesNothing)
{
    const DefaultCacheSerializer serializer;
    EXPECT_FALSE(serializer.data(Image::makeEmpty(), std::nullopt).has_value());
    EXPECT_FALSE(serializer.data(nullptr, encode(sampleBitmap(), "png")).has_value());
}

TEST(DefaultCacheSerializer, ReadsStoredBytesBack)
{
    const auto& serializer = *DefaultCacheSerializer::shared();
    const auto image = serializer.image(encode(sampleBitmap(), "png"), LumenParsedOptionsInfo());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixelSize(), QSize(8, 6));
    EXPECT_EQ(image->bitmap().pixelColor(3, 3), QColor(200, 40, 40));

    EXPECT_EQ(serializer.image(QByteArray("garbage"), LumenParsedOptionsInfo()), nullptr);
}

} // namespace
} // namespace Lumen
