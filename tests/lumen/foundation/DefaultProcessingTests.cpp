#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/LumenOptionsInfo.h"

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

QByteArray pngBytes()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(sampleBitmap());
    return bytes;
}

TEST(DefaultImageProcessor, RescalesImagesWithoutCopyingPixels)
{
    const auto& processor = *DefaultImageProcessor::shared();
    EXPECT_EQ(processor.description(), QStringLiteral("ImageProcessor(identifier: \"\")"));
    const auto image = Image::make(sampleBitmap());
    const LumenParsedOptionsInfo doubledScale(LumenOptionsInfo{Option::ScaleFactor{2.0}});
    EXPECT_EQ(processor.process({image}, LumenParsedOptionsInfo()), image);
    const auto doubled = processor.process({image}, doubledScale);
    ASSERT_NE(doubled, nullptr);
    EXPECT_NE(doubled, image);
    EXPECT_EQ(doubled->scale(), 2.0);
    EXPECT_EQ(doubled->bitmap().cacheKey(), image->bitmap().cacheKey());
    const auto empty = Image::makeEmpty();
    EXPECT_EQ(processor.process({empty}, doubledScale), empty);
    EXPECT_EQ(processor.process({ImagePtr()}, doubledScale), nullptr);
}

TEST(DefaultImageProcessor, DecodesDataAndAnswersNullForGarbage)
{
    const auto& processor = *DefaultImageProcessor::shared();
    const auto decoded = processor.process({pngBytes()}, LumenParsedOptionsInfo());
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->pixelSize(), QSize(8, 6));
    EXPECT_EQ(processor.process({QByteArray("not an image at all")}, LumenParsedOptionsInfo()), nullptr);
    EXPECT_EQ(processor.process({QByteArray()}, LumenParsedOptionsInfo()), nullptr);
    EXPECT_EQ(ImageProcessItem{QByteArray(12, 'x')}.description(), QStringLiteral("data(12 bytes)"));
    EXPECT_TRUE(ImageProcessItem{Image::makeEmpty()}.description().startsWith(QStringLiteral("image(<Lumen::Image: 0x")));
}

TEST(DefaultCacheSerializer, NothingToEncodeOrDecodeGivesNothing)
{
    const auto& serializer = *DefaultCacheSerializer::shared();
    EXPECT_FALSE(serializer.data(Image::makeEmpty(), std::nullopt).has_value());
    EXPECT_FALSE(serializer.data(nullptr, pngBytes()).has_value());
    EXPECT_EQ(serializer.image(QByteArray("garbage"), LumenParsedOptionsInfo()), nullptr);
}

} // namespace
} // namespace Lumen
