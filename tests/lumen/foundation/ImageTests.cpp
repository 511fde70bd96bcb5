#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/ImageCreatingOptions.h"
#include "Lumen/foundation/ImageTransition.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <limits>
#include <thread>
#include <vector>

namespace Lumen {
namespace {

QImage bitmapOf(int width, int height)
{
    QImage bitmap(width, height, QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(Qt::red);
    return bitmap;
}

// The frame source type belongs to the decoding code; these tests only need distinct
// pointers to store and compare, never to dereference.
std::shared_ptr<ImageFrameSource> opaqueFrameSource()
{
    std::shared_ptr<void> storage = std::make_shared<std::max_align_t>();
    return std::static_pointer_cast<ImageFrameSource>(storage);
}

TEST(ImageBasics, SizeInPointsFollowsScale)
{
    const ImagePtr image = Image::make(bitmapOf(200, 100), 2.0);
    EXPECT_TRUE(image->hasBitmap());
    EXPECT_EQ(image->pixelSize(), QSize(200, 100));
    EXPECT_EQ(image->size(), QSizeF(100, 50));
    EXPECT_EQ(image->scale(), 2.0);
}

TEST(ImageBasics, UnusableScaleCountsAsOne)
{
    for (double scale : {0.0, -2.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        const ImagePtr image = Image::make(bitmapOf(10, 20), scale);
        EXPECT_EQ(image->scale(), 1.0);
        EXPECT_EQ(image->size(), QSizeF(10, 20));
    }
}

TEST(ImageBasics, EmptyImageExistsWithoutBitmap)
{
    const ImagePtr empty = Image::makeEmpty();
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(empty->hasBitmap());
    EXPECT_EQ(empty->pixelSize(), QSize(0, 0));
    EXPECT_EQ(empty->size(), QSizeF(0, 0));
}

TEST(ImageAttachedValues, UnsetValuesReadAsNone)
{
    const ImagePtr image = Image::make(bitmapOf(1, 1));
    EXPECT_EQ(image->animatedImageData(), std::nullopt);
    EXPECT_EQ(image->imageFrameCount(), std::nullopt);
    EXPECT_EQ(image->frameSource(), nullptr);
    EXPECT_EQ(image->imageCreatingOptions(), std::nullopt);
    EXPECT_EQ(image->images(), std::nullopt);
    EXPECT_EQ(image->duration(), std::nullopt);
}

TEST(ImageAttachedValues, RoundTripAndClear)
{
    const ImagePtr image = Image::make(bitmapOf(4, 4));
    const ImagePtr frame0 = Image::make(bitmapOf(4, 4));
    const ImagePtr frame1 = Image::make(bitmapOf(4, 4));
    const auto source = opaqueFrameSource();
    const ImageCreatingOptions options{2.0, 0.0, true, false};

    image->setAnimatedImageData(QByteArray("GIF89a"));
    image->setImageFrameCount(2);
    image->setFrameSource(source);
    image->setImageCreatingOptions(options);
    image->setImages(QList<ImagePtr>{frame0, frame1});
    image->setDuration(std::numeric_limits<double>::infinity());

    EXPECT_EQ(image->animatedImageData(), QByteArray("GIF89a"));
    EXPECT_EQ(image->imageFrameCount(), 2);
    EXPECT_EQ(image->frameSource(), source);
    EXPECT_EQ(image->imageCreatingOptions(), options);
    ASSERT_TRUE(image->images().has_value());
    // The frames are the very objects attached, not copies.
    EXPECT_EQ(image->images()->at(0), frame0);
    EXPECT_EQ(image->images()->at(1), frame1);
    EXPECT_TRUE(std::isinf(*image->duration()));

    image->setAnimatedImageData(std::nullopt);
    image->setImageFrameCount(std::nullopt);
    image->setFrameSource(nullptr);
    image->setImageCreatingOptions(std::nullopt);
    image->setImages(std::nullopt);
    image->setDuration(std::nullopt);
    EXPECT_EQ(image->animatedImageData(), std::nullopt);
    EXPECT_EQ(image->imageFrameCount(), std::nullopt);
    EXPECT_EQ(image->frameSource(), nullptr);
    EXPECT_EQ(image->imageCreatingOptions(), std::nullopt);
    EXPECT_EQ(image->images(), std::nullopt);
    EXPECT_EQ(image->duration(), std::nullopt);
}

TEST(ImageAttachedValues, ReplacedFrameSourceIsReleased)
{
    const ImagePtr image = Image::make(bitmapOf(1, 1));
    std::weak_ptr<ImageFrameSource> first = [&] {
        auto source = opaqueFrameSource();
        image->setFrameSource(source);
        return std::weak_ptr<ImageFrameSource>(source);
    }();
    EXPECT_FALSE(first.expired());
    image->setFrameSource(opaqueFrameSource());
    EXPECT_TRUE(first.expired());
}

TEST(ImageAttachedValues, ConcurrentReadersSeeWholeValues)
{
    const ImagePtr image = Image::make(bitmapOf(2, 2));
    const QByteArray dataA(4096, 'a');
    const QByteArray dataB(4096, 'b');
    const QList<ImagePtr> framesA{Image::make(bitmapOf(1, 1))};
    const QList<ImagePtr> framesB{Image::make(bitmapOf(1, 1)), Image::make(bitmapOf(1, 1))};
    const auto sourceA = opaqueFrameSource();
    const auto sourceB = opaqueFrameSource();

    std::atomic<bool> torn = false;
    std::vector<std::thread> threads;
    for (int writer = 0; writer < 2; ++writer) {
        threads.emplace_back([&, writer] {
            for (int i = 0; i < 2000; ++i) {
                const bool useA = (i + writer) % 2 == 0;
                image->setAnimatedImageData(useA ? dataA : dataB);
                image->setImageFrameCount(useA ? 1 : 2);
                image->setImages(useA ? framesA : framesB);
                image->setFrameSource(useA ? sourceA : sourceB);
            }
        });
    }
    for (int reader = 0; reader < 2; ++reader) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                const auto data = image->animatedImageData();
                const auto count = image->imageFrameCount();
                const auto frames = image->images();
                const auto source = image->frameSource();
                if ((data && *data != dataA && *data != dataB) || (count && *count != 1 && *count != 2)
                    || (frames && *frames != framesA && *frames != framesB)
                    || (source && source != sourceA && source != sourceB))
                    torn = true;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(torn);
}

TEST(ImageCreatingOptionsRecord, EqualOnlyWhenEveryFieldIs)
{
    const ImageCreatingOptions base{1.0, 0.0, false, false};
    EXPECT_EQ(base, ImageCreatingOptions{});
    EXPECT_NE(base, (ImageCreatingOptions{1.0, 0.0, true, false}));
    EXPECT_NE(base, (ImageCreatingOptions{1.0, 0.0, false, true}));
    EXPECT_NE(base, (ImageCreatingOptions{2.0, 0.0, false, false}));
    EXPECT_NE(base, (ImageCreatingOptions{1.0, 0.5, false, false}));
}

TEST(ImageTransitionValue, DefaultsToNone)
{
    EXPECT_EQ(ImageTransition(), ImageTransition::none());
    EXPECT_EQ(ImageTransition().kind(), ImageTransition::Kind::none);
    EXPECT_EQ(ImageTransition().duration(), 0.0);
}

TEST(ImageTransitionValue, FadeCarriesItsDuration)
{
    const ImageTransition fade = ImageTransition::fade(0.25);
    EXPECT_TRUE(fade.isFade());
    EXPECT_EQ(fade.duration(), 0.25);
    EXPECT_EQ(fade.durationMilliseconds(), 250);
    EXPECT_NE(fade, ImageTransition::fade(0.5));
    EXPECT_NE(ImageTransition::fade(0), ImageTransition::none());
}

TEST(ImageTransitionValue, UnusableFadeDurationsShowAtOnce)
{
    for (double seconds : {-1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        const ImageTransition fade = ImageTransition::fade(seconds);
        EXPECT_TRUE(fade.isFade());
        EXPECT_EQ(fade.duration(), 0.0);
        EXPECT_EQ(fade.durationMilliseconds(), 0);
    }
    EXPECT_EQ(ImageTransition::fade(1e12).durationMilliseconds(), std::numeric_limits<int>::max());
}

} // namespace
} // namespace Lumen
