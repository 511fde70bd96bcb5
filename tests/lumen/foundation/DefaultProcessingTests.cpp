#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

namespace Lumen {
namespace {

using Tivrand::Testing::solidImage;

QByteArray png() { return Tivrand::Testing::encodedBitmap(Tivrand::Testing::solidBitmap(QSize(8, 6), Qt::red), "png"); }

TEST(DefaultImageProcessor, RescalesImagesWithoutCopyingPixels)
{
    const auto& processor = *DefaultImageProcessor::shared();
    const auto image = solidImage(QSize(8, 6), Qt::red);
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
    const auto decoded = processor.process({png()}, LumenParsedOptionsInfo());
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->pixelSize(), QSize(8, 6));
    EXPECT_EQ(processor.process({QByteArray("not an image at all")}, LumenParsedOptionsInfo()), nullptr);
    EXPECT_EQ(processor.process({QByteArray()}, LumenParsedOptionsInfo()), nullptr);
    EXPECT_TRUE(ImageProcessItem{Image::makeEmpty()}.description().startsWith(QStringLiteral("image(<Lumen::Image: 0x")));
}

TEST(DefaultCacheSerializer, NothingToEncodeOrDecodeGivesNothing)
{
    const auto& serializer = *DefaultCacheSerializer::shared();
    EXPECT_FALSE(serializer.data(Image::makeEmpty(), std::nullopt).has_value());
    EXPECT_FALSE(serializer.data(nullptr, png()).has_value());
    EXPECT_EQ(serializer.image(QByteArray("garbage"), LumenParsedOptionsInfo()), nullptr);
}

} // namespace
} // namespace Lumen
