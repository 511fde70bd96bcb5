#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageBlur.h"
#include "Lumen/foundation/imaging/ImageFilter.h"
#include "Lumen/foundation/imaging/ImagePainting.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "tests/lumen/imaging/TestImages.h"
#include "tests/lumen/processors/Processors.h"
#include "tests/support/CountingProcessor.h"

#include <gtest/gtest.h>

namespace Lumen {
namespace {

using namespace Tivrand::Testing;

LumenParsedOptionsInfo scaledBy(double factor)
{
    return LumenParsedOptionsInfo(LumenOptionsInfo{Option::ScaleFactor{factor}});
}

const LumenParsedOptionsInfo plain;

template <typename Material>
ImagePtr processImage(const ImageProcessor& processor, Material material, const LumenParsedOptionsInfo& options = plain)
{
    return processor.process(ImageProcessItem{std::move(material)}, options);
}

// The drawing processors draw what the drawing operations draw, and pass images without a bitmap.
TEST(ImageProcessors, DrawAsTheirOperationAndPassEmptyImages)
{
    const ImagePtr image = Image::make(splitBitmap({20, 10}, QColor(200, 30, 30), Qt::blue));
    const Border border(Qt::black, 2.0, Radius::point(2.0), RectCorner::all);
    const struct { std::shared_ptr<const ImageProcessor> processor; ImagePtr expected; bool passesEmpty; } cases[] = {
        {std::make_shared<CompositingImageProcessor>(CompositingOperation::sourceOver, 0.5, QColor(Qt::blue)),
         composited(image, CompositingOperation::sourceOver, 0.5, QColor(Qt::blue)), true},
        {std::make_shared<RoundCornerImageProcessor>(4.0), roundedCorners(image, 4.0, {20, 10}), true},
        {std::make_shared<BorderImageProcessor>(border), bordered(image, border), true},
        {std::make_shared<OverlayImageProcessor>(Qt::black, 0.25), overlaid(image, Qt::black, 0.25), true},
        {std::make_shared<CroppingImageProcessor>(QSizeF(10, 10), QPointF(1, 0)), cropped(image, {10, 10}, {1, 0}), false},
        // Black and white is the colour controls preset under its own name.
        {std::make_shared<BlackWhiteProcessor>(), colorAdjusted(image, 0.0, 1.0, 0.0, 0.7), false},
        // Live-photo material is left alone.
        {std::make_shared<LivePhotoImageProcessor>(), image, true},
    };
    for (const auto& [processor, expected, passesEmpty] : cases) {
        SCOPED_TRACE(processor->identifier().toStdString());
        const ImagePtr result = processImage(*processor, image);
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result->bitmap(), expected->bitmap());
        if (const ImagePtr empty = Image::makeEmpty(); passesEmpty)
            EXPECT_EQ(processImage(*processor, empty), empty);
    }
    // A null image item is no image at all.
    EXPECT_EQ(processImage(OverlayImageProcessor(Qt::red, 0.5), ImagePtr()), nullptr);
    EXPECT_FALSE(processImage(LivePhotoImageProcessor(), QByteArray("movie bytes"))->hasBitmap());
}

// The scale comes from the options of each request, so one processor serves every screen. Blur and
// downsampling work in its pixels; the others only declare it on their result.
TEST(ImageProcessors, BlurAndDownsamplingFollowTheRequestsScaleAndTheOthersDeclareIt)
{
    const auto image = Image::make(splitBitmap(QSize(40, 20), Qt::black, Qt::white));
    const auto resized = processImage(ResizingImageProcessor(QSizeF(10, 10), ContentMode::aspectFit), image, scaledBy(2.0));
    EXPECT_EQ(resized->size(), QSizeF(5, 2.5));
    // Round corners size from the unscaled image, or from the target size.
    EXPECT_EQ(processImage(RoundCornerImageProcessor(Radius::widthFraction(0.5), QSizeF(16, 16)), image)->pixelSize(),
              QSize(16, 16));
    EXPECT_EQ(processImage(BlurImageProcessor(4.0), image, scaledBy(2.0))->bitmap(), blurred(image, 8.0)->bitmap());

    const QByteArray jpeg = encodedBitmap(solidBitmap(QSize(400, 200), Qt::red), "jpeg");
    const DownsamplingImageProcessor fifty(QSizeF(50, 50));
    EXPECT_EQ(processImage(fifty, jpeg, scaledBy(2.0))->pixelSize(), QSize(100, 50));
    EXPECT_EQ(processImage(fifty, Image::make(solidBitmap(QSize(400, 200), Qt::red)))->pixelSize(), QSize(50, 25));
    EXPECT_EQ(processImage(fifty, Image::makeEmpty()), nullptr);
}

TEST(ProcessorComposition, RunsStagesInOrderAndStopsAtAFailedOne)
{
    const std::shared_ptr<const ImageProcessor> resize = std::make_shared<ResizingImageProcessor>(QSizeF(10, 5));
    const std::shared_ptr<const ImageProcessor> tint = std::make_shared<TintImageProcessor>(QColor(0, 0, 255));
    // Data is decoded by the first stage.
    const auto chained = processImage(*(resize | tint), encodedBitmap(solidBitmap({20, 10}, Qt::white), "png"), scaledBy(2.0));
    EXPECT_EQ(chained->size(), QSizeF(5, 2.5));
    EXPECT_EQ(chained->bitmap().pixelColor(3, 3), QColor(0, 0, 255));

    const auto failing = std::make_shared<GeneralProcessor>(
        QStringLiteral("fails"), [](const ImageProcessItem&, const LumenParsedOptionsInfo&) { return ImagePtr(); });
    const auto counting = std::make_shared<CountingProcessor>(QStringLiteral("counts"));
    const auto image = solidImage(QSize(2, 2), Qt::red);
    EXPECT_EQ(processImage(*append(failing, counting), image), nullptr);
    EXPECT_EQ(counting->runs, 0);
    EXPECT_EQ(processImage(GeneralProcessor(QStringLiteral("empty"), {}), image), nullptr);
    EXPECT_EQ(processImage(*tint, QByteArray("no image here")), nullptr);
    // With nothing to do, the default processor hands back the very image.
    EXPECT_EQ(processImage(*(DefaultImageProcessor::shared() | DefaultImageProcessor::shared()), image), image);
}

} // namespace
} // namespace Lumen
