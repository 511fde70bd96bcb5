#include "Lumen/foundation/AttachedValue.h"
#include "Lumen/foundation/Box.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/ImageTransition.h"
#include "Lumen/foundation/imaging/ImagePainting.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

#include <QObject>

#include <atomic>
#include <climits>
#include <limits>
#include <thread>
#include <vector>

namespace Lumen {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr AttachedKey<Box<quint64>> taskIdentifierKey{"lumen.test.taskIdentifier"};
constexpr AttachedKey<Box<QString>> sameNameOtherTypeKey{"lumen.test.taskIdentifier"};

QImage bitmapOf(int width, int height) { return Tivrand::Testing::solidBitmap(QSize(width, height), Qt::red); }

TEST(AttachedValue, ReadsBackTheSameObjectOnlyUnderItsKeyAndTypeAndReleasesIt)
{
    std::weak_ptr<Box<quint64>> removed, orphaned;
    {
        QObject owner;
        auto box = std::make_shared<Box<quint64>>(42);
        removed = box;
        setAttachedValue(owner, taskIdentifierKey, std::move(box));
        EXPECT_EQ(attachedValue(owner, taskIdentifierKey), removed.lock());
        EXPECT_EQ(attachedValue(owner, sameNameOtherTypeKey), nullptr);

        setAttachedValue(owner, taskIdentifierKey, std::make_shared<Box<quint64>>(2));
        EXPECT_TRUE(removed.expired());
        orphaned = attachedValue(owner, taskIdentifierKey);
    }
    EXPECT_TRUE(orphaned.expired());
}

TEST(Image, SizeInPointsFollowsScaleAndUnusableScalesCountAsOne)
{
    const struct { double scale, expectedScale; QSizeF points; } table[] = {
        {2.0, 2.0, {100, 50}}, {-2.0, 1.0, {200, 100}}, {nan, 1.0, {200, 100}}, {infinity, 1.0, {200, 100}}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.scale);
        const ImagePtr image = Image::make(bitmapOf(200, 100), row.scale);
        EXPECT_EQ(image->scale(), row.expectedScale);
        EXPECT_EQ(image->size(), row.points);
    }
}

TEST(Image, ConcurrentReadersSeeWholeAttachedValues)
{
    const ImagePtr image = Image::make(bitmapOf(2, 2));
    const QByteArray dataA(4096, 'a'), dataB(4096, 'b');
    const QList<ImagePtr> framesA{Image::make(bitmapOf(1, 1))};
    const QList<ImagePtr> framesB{Image::make(bitmapOf(1, 1)), Image::make(bitmapOf(1, 1))};
    const auto sourceA = Testing::opaqueHandle<ImageFrameSource>();
    const auto sourceB = Testing::opaqueHandle<ImageFrameSource>();
    std::atomic<bool> torn = false;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                const bool useA = (i + t) % 2 == 0;
                if (t < 2) {
                    image->setAnimatedImageData(useA ? dataA : dataB);
                    image->setImageFrameCount(useA ? 1 : 2);
                    image->setImages(useA ? framesA : framesB);
                    image->setFrameSource(useA ? sourceA : sourceB);
                    continue;
                }
                const auto data = image->animatedImageData().value_or(dataA);
                const auto count = image->imageFrameCount().value_or(1);
                const auto frames = image->images().value_or(framesA);
                const auto source = image->frameSource();
                torn = torn || (data != dataA && data != dataB) || (count != 1 && count != 2) || (frames != framesA && frames != framesB)
                    || (source && source != sourceA && source != sourceB);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(torn);
}

// Entries an indexed bitmap's colour table lacks read as the grey of their index, so drawing
// it never looks past the table.
TEST(Image, IndexedBitmapsWithAShortColourTableAreSafeToDraw)
{
    const struct { QImage::Format format; QList<QRgb> table; uint index; QColor expected; } cases[] = {
        {QImage::Format_Indexed8, {qRgb(255, 0, 0)}, 128, QColor(128, 128, 128)},
        {QImage::Format_Mono, {}, 1, Qt::white},
        {QImage::Format_MonoLSB, {qRgb(0, 0, 255)}, 1, Qt::white},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.format << " table " << c.table.size() << " index " << c.index);
        QImage indexed(16, 16, c.format);
        indexed.setColorTable(c.table);
        indexed.fill(c.index);
        const ImagePtr image = Image::make(indexed);

        EXPECT_EQ(decoded(image)->bitmap().pixelColor(8, 8), c.expected);
        EXPECT_NE(overlaid(image, Qt::black, 0.5), image);
        EXPECT_NE(roundedCorners(image, 4.0, QSizeF(16, 16)), image);
    }
}

TEST(ImageTransition, UnusableFadeDurationsShowAtOnce)
{
    EXPECT_NE(ImageTransition::fade(0), ImageTransition::none());
    for (const auto& [seconds, milliseconds] : {std::pair{0.25, 250}, {-1.0, 0}, {nan, 0}, {infinity, 0}, {1e12, INT_MAX}})
        EXPECT_EQ(ImageTransition::fade(seconds).durationMilliseconds(), milliseconds) << seconds;
}

} // namespace
} // namespace Lumen
