#include "ImageCacheTestSupport.h"

#include "Lumen/cache/FormatIndicatedCacheSerializer.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/ImageFormat.h"
#include "tests/support/GifWriter.h"

#include <QFile>

namespace {

using namespace Lumen;
using namespace Lumen::Testing;
using Tivrand::Testing::solidGifFrame;
using Tivrand::Testing::writeGif;

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

QImage gradient(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / size.width(), y * 255 / size.height(), 128));
    return image;
}

QByteArray gifBytes()
{
    return writeGif(QSize(6, 4), {solidGifFrame(QSize(6, 4), qRgb(255, 0, 0)), solidGifFrame(QSize(6, 4), qRgb(0, 0, 255))});
}

QByteArray fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(DefaultCacheSerializer, EncodesInTheFormatOfTheOriginal)
{
    const ImagePtr image = bitmapImage(QSize(16, 16), Qt::green);
    const QByteArray jpeg = encoded(gradient(QSize(16, 16)), "jpeg");
    const DefaultCacheSerializer& serializer = *DefaultCacheSerializer::shared();
    EXPECT_EQ(serializer.compressionQuality, 1.0);
    EXPECT_FALSE(serializer.usesOriginalData());

    const auto fromJpeg = serializer.data(image, jpeg);
    ASSERT_TRUE(fromJpeg.has_value());
    EXPECT_EQ(imageFormat(*fromJpeg), ImageFormat::JPEG);
    EXPECT_NE(*fromJpeg, jpeg);
    EXPECT_EQ(imageFormat(*serializer.data(image, std::nullopt)), ImageFormat::PNG);
    // A GIF original asks for animated data the image does not carry.
    EXPECT_FALSE(serializer.data(image, gifBytes()).has_value());

    DefaultCacheSerializer original;
    original.preferCacheOriginalData = true;
    EXPECT_TRUE(original.usesOriginalData());
    EXPECT_EQ(original.data(image, jpeg), jpeg);
    EXPECT_EQ(original.data(image, QByteArray("not an image at all")), QByteArray("not an image at all"));
    EXPECT_EQ(imageFormat(*original.data(image, std::nullopt)), ImageFormat::PNG);
}

TEST(FormatIndicatedCacheSerializer, WritesItsFormatWithFallbacks)
{
    const ImagePtr image = bitmapImage(QSize(16, 16), Qt::green);
    const QByteArray jpeg = encoded(gradient(QSize(16, 16)), "jpeg");
    const QByteArray png = encoded(gradient(QSize(16, 16)), "png");
    const QByteArray opaque("neither png nor jpeg nor gif");

    EXPECT_EQ(imageFormat(*FormatIndicatedCacheSerializer::png()->data(image, jpeg)), ImageFormat::PNG);
    EXPECT_EQ(imageFormat(*FormatIndicatedCacheSerializer::jpeg()->data(image, png)), ImageFormat::JPEG);
    EXPECT_EQ(FormatIndicatedCacheSerializer::jpeg()->jpegCompressionQuality, 1.0);
    EXPECT_EQ(FormatIndicatedCacheSerializer::jpeg(0.3)->jpegCompressionQuality, 0.3);
    EXPECT_FALSE(FormatIndicatedCacheSerializer::png()->usesOriginalData());

    // GIF without animated data: the original's format, else the original, else PNG.
    const auto gif = FormatIndicatedCacheSerializer::gif();
    EXPECT_EQ(imageFormat(*gif->data(image, png)), ImageFormat::PNG);
    EXPECT_EQ(gif->data(image, opaque), opaque);
    EXPECT_EQ(imageFormat(*gif->data(image, std::nullopt)), ImageFormat::PNG);

    const FormatIndicatedCacheSerializer unknown(ImageFormat::unknown, std::nullopt);
    EXPECT_EQ(imageFormat(*unknown.data(image, jpeg)), ImageFormat::JPEG);
    EXPECT_EQ(unknown.data(image, opaque), opaque);
    EXPECT_EQ(imageFormat(*unknown.data(image, std::nullopt)), ImageFormat::PNG);

    // An animated image keeps its GIF bytes.
    const QByteArray animated = gifBytes();
    const ImagePtr decoded = imageFromData(animated, ImageCreatingOptions{});
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(gif->data(decoded, std::nullopt), animated);
}

TEST_F(ImageCacheTest, PngAndJpegRoundTripThroughTheDisk)
{
    const auto cache = makeCache();
    const QImage picture = gradient(QSize(20, 10));
    for (const char* format : {"png", "jpeg"}) {
        const QString key = QString::fromLatin1(format);
        const QByteArray original = encoded(picture, format);
        const ImagePtr image = imageFromData(original, ImageCreatingOptions{});
        ASSERT_NE(image, nullptr);
        Captured<CacheStoreResult> stored;
        cache->store(image, original, key, LumenParsedOptionsInfo(), true,
                     [&stored](CacheStoreResult result) { stored.set(std::move(result)); });
        ASSERT_TRUE(stored.wait().diskCacheResult.has_value());
        EXPECT_EQ(imageFormat(fileContent(*cache->cachePath(key))), imageFormat(original)) << format;

        cache->clearMemoryCache();
        Captured<std::expected<ImageCacheResult, LumenError>> found;
        cache->retrieveImage(key, LumenParsedOptionsInfo(), CallbackQueue::untouch(),
                             [&found](auto result) { found.set(result); });
        const auto result = found.wait();
        ASSERT_TRUE(result.has_value() && result->image()) << format;
        EXPECT_EQ(result->cacheType(), CacheType::disk);
        EXPECT_EQ(result->image()->pixelSize(), QSize(20, 10));
        if (key == QStringLiteral("png")) {
            EXPECT_EQ(result->image()->bitmap().convertToFormat(QImage::Format_RGB32), picture);
        }
    }
}

TEST_F(ImageCacheTest, GifOriginalDataIsStoredAndReadBackAnimated)
{
    const auto cache = makeCache();
    const QByteArray original = gifBytes();
    const ImagePtr image = imageFromData(original, ImageCreatingOptions{});
    ASSERT_NE(image, nullptr);
    Captured<CacheStoreResult> stored;
    cache->store(image, original, QStringLiteral("gif"), LumenParsedOptionsInfo(), true,
                 [&stored](CacheStoreResult result) { stored.set(std::move(result)); });
    ASSERT_TRUE(stored.wait().diskCacheResult.has_value());
    EXPECT_EQ(fileContent(*cache->cachePath(QStringLiteral("gif"))), original);

    Captured<std::expected<ImagePtr, LumenError>> found;
    cache->retrieveImageInDiskCache(QStringLiteral("gif"), LumenParsedOptionsInfo(), CallbackQueue::untouch(),
                                    [&found](auto result) { found.set(result); });
    const auto result = found.wait();
    ASSERT_TRUE(result.has_value() && *result);
    EXPECT_EQ((*result)->animatedImageData(), original);
}

} // namespace
