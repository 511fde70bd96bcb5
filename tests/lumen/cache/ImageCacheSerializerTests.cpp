#include "CacheTestSupport.h"

#include "Lumen/cache/FormatIndicatedCacheSerializer.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/ImageFormat.h"

#include <future>
#include <latch>
#include <thread>
#include <vector>

namespace {

using namespace Lumen;
using namespace Lumen::Testing;

QByteArray gifBytes() { return Tivrand::Testing::solidGif(QSize(6, 4), 2); }

TEST(CacheSerializers, EncodeInTheirFormatWithFallbacks)
{
    const ImagePtr image = bitmapImage(QSize(16, 16), Qt::green);
    const QByteArray jpeg = encodedBitmap(image->bitmap(), "jpeg");
    const QByteArray png = encodedBitmap(image->bitmap(), "png");
    const QByteArray opaque("neither png nor jpeg nor gif");
    const auto standard = DefaultCacheSerializer::shared();
    auto original = std::make_shared<DefaultCacheSerializer>();
    original->preferCacheOriginalData = true;
    const auto gif = FormatIndicatedCacheSerializer::gif();
    const auto unknown = std::make_shared<FormatIndicatedCacheSerializer>(ImageFormat::unknown, std::nullopt);

    const struct {
        const char* name;
        std::shared_ptr<const CacheSerializer> serializer;
        std::optional<QByteArray> original;
        std::optional<ImageFormat> format; // none: the original bytes unchanged
    } cases[] = {
        {"default from JPEG", standard, jpeg, ImageFormat::JPEG},
        {"original kept", original, jpeg, std::nullopt},
        {"original kept even undecodable", original, opaque, std::nullopt},
        {"original missing", original, std::nullopt, ImageFormat::PNG},
        {"PNG", FormatIndicatedCacheSerializer::png(), jpeg, ImageFormat::PNG},
        {"JPEG", FormatIndicatedCacheSerializer::jpeg(), png, ImageFormat::JPEG},
        // GIF without animated data, and unknown: the original's format, else the original, else PNG.
        {"GIF from PNG", gif, png, ImageFormat::PNG},
        {"GIF without original", gif, std::nullopt, ImageFormat::PNG},
        {"unknown from JPEG", unknown, jpeg, ImageFormat::JPEG},
        {"unknown from opaque", unknown, opaque, std::nullopt},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const auto data = test.serializer->data(image, test.original);
        ASSERT_TRUE(data.has_value());
        if (test.format)
            EXPECT_EQ(imageFormat(*data), *test.format);
        else
            EXPECT_EQ(data, test.original);
    }
    // A GIF original asks for animated data the image does not carry; an animated image keeps its GIF bytes.
    const QByteArray animated = gifBytes();
    EXPECT_FALSE(standard->data(image, animated).has_value());
    EXPECT_EQ(gif->data(imageFromData(animated, ImageCreatingOptions{}), std::nullopt), animated);
}

TEST_F(ImageCacheTest, OriginalsRoundTripThroughTheDisk)
{
    const auto cache = makeCache();
    const QByteArray jpeg = encodedBitmap(bitmapImage()->bitmap(), "jpeg");
    for (const auto& [format, original] : {std::pair{"png", pngBytes()}, std::pair{"jpeg", jpeg}, std::pair{"gif", gifBytes()}}) {
        SCOPED_TRACE(format);
        const QString key = QString::fromLatin1(format);
        const ImagePtr image = imageFromData(original, ImageCreatingOptions{});
        ASSERT_NE(image, nullptr);
        ASSERT_TRUE(storeAndWait(*cache, image, key, LumenParsedOptionsInfo(), original).diskCacheResult.has_value());

        cache->clearMemoryCache();
        const Retrieved found = retrieve(*cache, key, LumenParsedOptionsInfo());
        ASSERT_TRUE(found.has_value() && found->image());
        if (key == QStringLiteral("gif")) {
            EXPECT_EQ(found->image()->animatedImageData(), original);
        }
    }
}

// A cache encodes on the pool and decodes where its reads run, several at once: one
// serializer serves eight stores, then eight reads, at the same time.
TEST_F(ImageCacheTest, OneSerializerServesConcurrentStoresAndReads)
{
    constexpr int count = 8;
    const auto cache = makeCache();
    auto original = std::make_shared<DefaultCacheSerializer>();
    original->preferCacheOriginalData = true;
    const auto inParallel = [](const std::function<void(int)>& work) {
        std::latch start(count);
        std::vector<std::thread> threads;
        for (int index = 0; index < count; ++index)
            threads.emplace_back([&, index] {
                start.arrive_and_wait();
                work(index);
            });
        for (std::thread& thread : threads)
            thread.join();
    };
    const std::pair<const char*, std::shared_ptr<const CacheSerializer>> serializers[] = {
        {"default", DefaultCacheSerializer::shared()}, {"original", original}, {"PNG", FormatIndicatedCacheSerializer::png()}};
    for (const auto& [name, serializer] : serializers) {
        SCOPED_TRACE(name);
        const LumenParsedOptionsInfo options(
            LumenOptionsInfo{Option::CacheSerializer{serializer}, Option::CallbackQueue{CallbackQueue::untouch()}});
        const auto key = [name](int index) { return QStringLiteral("%1-%2").arg(QLatin1String(name)).arg(index); };
        const auto color = [](int index) { return QColor::fromHsv(index * 40, 255, 255); };

        std::vector<std::promise<CacheStoreResult>> stored(count);
        inParallel([&](int index) {
            const ImagePtr image = bitmapImage(QSize(96, 96), color(index));
            cache->store(image, encodedBitmap(image->bitmap(), "png"), key(index), options, true,
                         [&stored, index](CacheStoreResult result) { stored[index].set_value(std::move(result)); });
        });
        for (auto& result : stored)
            EXPECT_TRUE(result.get_future().get().diskCacheResult.has_value());

        std::vector<std::promise<ImagePtr>> read(count);
        inParallel([&](int index) {
            cache->retrieveImageInDiskCache(key(index), options, CallbackQueue::untouch(),
                                            [&read, index](std::expected<ImagePtr, LumenError> found) {
                                                read[index].set_value(found.value_or(nullptr));
                                            });
        });
        for (int index = 0; index < count; ++index) {
            const ImagePtr image = read[index].get_future().get();
            ASSERT_TRUE(image);
            EXPECT_EQ(image->bitmap().pixel(48, 48), color(index).rgb()) << index;
        }
    }
}

} // namespace
