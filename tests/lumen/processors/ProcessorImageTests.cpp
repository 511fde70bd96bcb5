#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageBlur.h"
#include "Lumen/foundation/processors/BlurImageProcessor.h"
#include "Lumen/foundation/processors/BorderImageProcessor.h"
#include "Lumen/foundation/processors/ColorControlsProcessor.h"
#include "Lumen/foundation/processors/CompositingImageProcessor.h"
#include "Lumen/foundation/processors/CroppingImageProcessor.h"
#include "Lumen/foundation/processors/DownsamplingImageProcessor.h"
#include "Lumen/foundation/processors/GeneralProcessor.h"
#include "Lumen/foundation/processors/LivePhotoImageProcessor.h"
#include "Lumen/foundation/processors/OverlayImageProcessor.h"
#include "Lumen/foundation/processors/ResizingImageProcessor.h"
#include "Lumen/foundation/processors/RoundCornerImageProcessor.h"
#include "Lumen/foundation/processors/TintImageProcessor.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

#include <atomic>

namespace Lumen {
namespace {

using Tivrand::Testing::encodedBitmap;
using Tivrand::Testing::solidBitmap;
using Tivrand::Testing::solidImage;
using Tivrand::Testing::splitBitmap;

LumenParsedOptionsInfo scaledBy(double factor)
{
    return LumenParsedOptionsInfo(LumenOptionsInfo{Option::ScaleFactor{factor}});
}

const LumenParsedOptionsInfo plain;

ImagePtr processImage(const ImageProcessor& processor, const ImagePtr& image,
                      const LumenParsedOptionsInfo& options = plain)
{
    return processor.process(ImageProcessItem{image}, options);
}

// Every processor whose work is drawing: an image without a bitmap comes back untouched.
TEST(ImageProcessors, ImagesWithoutABitmapPassThrough)
{
    const auto empty = Image::makeEmpty();
    const CompositingImageProcessor compositing(CompositingOperation::sourceOver, 0.5);
    const RoundCornerImageProcessor roundCorner(8.0);
    const BorderImageProcessor border(Border(Qt::red, 2.0, Radius::point(2.0), RectCorner::all));
    const OverlayImageProcessor overlay(Qt::red, 0.5);
    for (const ImageProcessor* processor : std::initializer_list<const ImageProcessor*>{
             &compositing, &roundCorner, &border, &overlay})
        EXPECT_EQ(processImage(*processor, empty), empty) << processor->identifier().toStdString();
    // A null image item is no image at all.
    EXPECT_EQ(processImage(overlay, nullptr), nullptr);
}

TEST(ImageProcessors, DataIsDecodedFirstAndGarbageGivesNothing)
{
    const QByteArray png = encodedBitmap(solidBitmap(QSize(10, 10), Qt::blue), "png");
    const TintImageProcessor tint(QColor(255, 0, 0));
    const auto tinted = tint.process(ImageProcessItem{png}, plain);
    ASSERT_NE(tinted, nullptr);
    EXPECT_EQ(tinted->bitmap().pixelColor(5, 5), QColor(255, 0, 0));

    EXPECT_EQ(tint.process(ImageProcessItem{QByteArray("no image here")}, plain), nullptr);
    EXPECT_EQ(BlackWhiteProcessor().process(ImageProcessItem{QByteArray()}, plain), nullptr);
}

TEST(ImageProcessors, ScalingDeclaresTheImagesScaleWithoutResampling)
{
    const auto image = solidImage(QSize(20, 10), Qt::green);
    const auto resized = processImage(ResizingImageProcessor(QSizeF(10, 10), ContentMode::aspectFit), image,
                                      scaledBy(2.0));
    ASSERT_NE(resized, nullptr);
    EXPECT_EQ(resized->pixelSize(), QSize(10, 5));
    EXPECT_EQ(resized->scale(), 2.0);
}

TEST(ImageProcessors, CompositingDrawsAtTheGivenOpacityOverTheBackground)
{
    const auto image = solidImage(QSize(4, 4), QColor(255, 0, 0));
    const auto result = processImage(CompositingImageProcessor(CompositingOperation::sourceOver, 0.5, QColor(0, 0, 255)),
                                     image);
    ASSERT_NE(result, nullptr);
    const QColor pixel = result->bitmap().pixelColor(1, 1);
    EXPECT_NEAR(pixel.red(), 128, 2);
    EXPECT_NEAR(pixel.blue(), 127, 2);
    EXPECT_EQ(pixel.alpha(), 255);
}

TEST(ImageProcessors, RoundCornersSizeFromTheUnscaledImage)
{
    const auto image = solidImage(QSize(40, 20), Qt::red);
    const auto rounded = processImage(RoundCornerImageProcessor(10.0), image, scaledBy(2.0));
    ASSERT_NE(rounded, nullptr);
    EXPECT_EQ(rounded->pixelSize(), QSize(40, 20));
    EXPECT_EQ(rounded->scale(), 2.0);
    EXPECT_EQ(rounded->bitmap().pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(rounded->bitmap().pixelColor(20, 10), QColor(Qt::red));

    const auto targeted = processImage(RoundCornerImageProcessor(Radius::widthFraction(0.5), QSizeF(16, 16)), image);
    ASSERT_NE(targeted, nullptr);
    EXPECT_EQ(targeted->pixelSize(), QSize(16, 16));
}

TEST(ImageProcessors, BorderStrokesInsideTheEdge)
{
    const auto image = solidImage(QSize(20, 20), Qt::white);
    const auto bordered = processImage(BorderImageProcessor(Border(Qt::black, 4.0, Radius::point(0.0), RectCorner::all)),
                                       image, scaledBy(3.0));
    ASSERT_NE(bordered, nullptr);
    // Borders are not scaled.
    EXPECT_EQ(bordered->scale(), 1.0);
    EXPECT_EQ(bordered->bitmap().pixelColor(1, 10), QColor(Qt::black));
    EXPECT_EQ(bordered->bitmap().pixelColor(10, 10), QColor(Qt::white));
}

TEST(ImageProcessors, OverlayCoversOnlyOpaqueParts)
{
    QImage half = solidBitmap(QSize(10, 10), Qt::transparent);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 5; ++x)
            half.setPixelColor(x, y, Qt::white);
    const auto result = processImage(OverlayImageProcessor(QColor(0, 0, 0), 0.25), Image::make(half));
    ASSERT_NE(result, nullptr);
    // Black at 75 % over white.
    EXPECT_NEAR(result->bitmap().pixelColor(2, 2).red(), 64, 1);
    EXPECT_EQ(result->bitmap().pixelColor(2, 2).alpha(), 255);
    EXPECT_EQ(result->bitmap().pixelColor(8, 2).alpha(), 0);
    // A fraction of 0 draws no colour at all.
    const auto untouched = processImage(OverlayImageProcessor(QColor(0, 0, 0), 0.0), Image::make(half));
    ASSERT_NE(untouched, nullptr);
    EXPECT_EQ(untouched->bitmap().pixelColor(2, 2), QColor(Qt::white));
}

TEST(ImageProcessors, BlackWhiteIsTheColourControlsPresetUnderItsOwnName)
{
    const auto image = Image::make(splitBitmap(QSize(8, 8), QColor(200, 30, 30), QColor(20, 160, 60)));
    const auto blackWhite = processImage(BlackWhiteProcessor(), image);
    const auto controls = processImage(ColorControlsProcessor(0.0, 1.0, 0.0, 0.7), image);
    ASSERT_NE(blackWhite, nullptr);
    ASSERT_NE(controls, nullptr);
    EXPECT_EQ(blackWhite->bitmap(), controls->bitmap());
    const QColor pixel = blackWhite->bitmap().pixelColor(1, 1);
    EXPECT_EQ(pixel.red(), pixel.green());
    EXPECT_EQ(pixel.green(), pixel.blue());
    EXPECT_NE(BlackWhiteProcessor().identifier(), ColorControlsProcessor(0.0, 1.0, 0.0, 0.7).identifier());
}

TEST(ImageProcessors, CroppingKeepsTheAnchoredPart)
{
    const auto image = Image::make(splitBitmap(QSize(20, 10), Qt::red, Qt::blue));
    const auto right = processImage(CroppingImageProcessor(QSizeF(10, 10), QPointF(1, 0)), image);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(right->pixelSize(), QSize(10, 10));
    EXPECT_EQ(right->bitmap().pixelColor(0, 0), QColor(Qt::blue));
}

TEST(ImageProcessors, BlurRadiusGrowsWithTheProcessorsScale)
{
    const auto image = Image::make(splitBitmap(QSize(40, 20), Qt::black, Qt::white));
    const auto doubled = processImage(BlurImageProcessor(4.0, 2.0), image, scaledBy(2.0));
    ASSERT_NE(doubled, nullptr);
    EXPECT_EQ(doubled->bitmap(), blurred(image, 8.0)->bitmap());
    EXPECT_EQ(doubled->scale(), 2.0);

    const auto single = processImage(BlurImageProcessor(4.0), image);
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->bitmap(), blurred(image, 4.0)->bitmap());
    // The two results differ, and so do the identifiers they are cached under.
    EXPECT_NE(single->bitmap(), doubled->bitmap());
    EXPECT_NE(BlurImageProcessor(4.0).identifier(), BlurImageProcessor(4.0, 2.0).identifier());
}

TEST(ImageProcessors, DownsamplingBoundsTheLongerSideByTheScale)
{
    const QImage big = solidBitmap(QSize(400, 200), Qt::red);
    const QByteArray jpeg = encodedBitmap(big, "jpeg");

    const auto thumbnail = DownsamplingImageProcessor(QSizeF(50, 50), 2.0).process(ImageProcessItem{jpeg}, plain);
    ASSERT_NE(thumbnail, nullptr);
    EXPECT_EQ(thumbnail->pixelSize(), QSize(100, 50));

    const auto fromImage = DownsamplingImageProcessor(QSizeF(50, 50)).process(ImageProcessItem{Image::make(big)}, plain);
    ASSERT_NE(fromImage, nullptr);
    EXPECT_EQ(fromImage->pixelSize(), QSize(50, 25));

    EXPECT_EQ(DownsamplingImageProcessor(QSizeF(50, 50)).process(ImageProcessItem{Image::makeEmpty()}, plain), nullptr);
    EXPECT_EQ(DownsamplingImageProcessor(QSizeF(50, 50)).process(ImageProcessItem{QByteArray("junk")}, plain), nullptr);
    EXPECT_EQ(DownsamplingImageProcessor(QSizeF(0, 0)).process(ImageProcessItem{jpeg}, plain), nullptr);
}

TEST(ImageProcessors, LivePhotoMaterialIsLeftAlone)
{
    const LivePhotoImageProcessor processor;
    const auto image = solidImage(QSize(2, 2), Qt::red);
    EXPECT_EQ(processImage(processor, image, scaledBy(2.0)), image);
    const auto fromData = processor.process(ImageProcessItem{QByteArray("movie bytes")}, plain);
    ASSERT_NE(fromData, nullptr);
    EXPECT_FALSE(fromData->hasBitmap());
}

TEST(ProcessorComposition, RunsStagesInOrderOnTheSameOptions)
{
    const auto image = solidImage(QSize(20, 10), Qt::white);
    const std::shared_ptr<const ImageProcessor> resize = std::make_shared<ResizingImageProcessor>(QSizeF(10, 5));
    const std::shared_ptr<const ImageProcessor> tint = std::make_shared<TintImageProcessor>(QColor(0, 0, 255));

    const auto chained = (DefaultImageProcessor::shared() | resize | tint)
                             ->process(ImageProcessItem{encodedBitmap(image->bitmap(), "png")}, scaledBy(2.0));
    ASSERT_NE(chained, nullptr);
    EXPECT_EQ(chained->pixelSize(), QSize(10, 5));
    EXPECT_EQ(chained->bitmap().pixelColor(3, 3), QColor(0, 0, 255));
    EXPECT_EQ(chained->scale(), 2.0);
}

TEST(ProcessorComposition, AFailedStageEndsTheChain)
{
    std::atomic<int> secondRuns = 0;
    const auto failing = std::make_shared<GeneralProcessor>(
        QStringLiteral("fails"), [](const ImageProcessItem&, const LumenParsedOptionsInfo&) { return ImagePtr(); });
    const auto counting = std::make_shared<GeneralProcessor>(
        QStringLiteral("counts"), [&](const ImageProcessItem& item, const LumenParsedOptionsInfo&) {
            ++secondRuns;
            return std::get<ImagePtr>(item.value);
        });
    const auto chain = append(failing, counting);
    EXPECT_EQ(chain->process(ImageProcessItem{solidImage(QSize(2, 2), Qt::red)}, plain), nullptr);
    EXPECT_EQ(secondRuns, 0);

    const auto passing = append(DefaultImageProcessor::shared(), counting);
    const auto image = solidImage(QSize(2, 2), Qt::red);
    EXPECT_EQ(passing->process(ImageProcessItem{image}, plain), image);
    EXPECT_EQ(secondRuns, 1);

    EXPECT_EQ(GeneralProcessor(QStringLiteral("empty"), {}).process(ImageProcessItem{image}, plain), nullptr);
}

TEST(DefaultImageProcessor, HandsBackTheSameImageWhenThereIsNothingToDo)
{
    const auto image = solidImage(QSize(3, 3), Qt::red);
    EXPECT_EQ(DefaultImageProcessor::shared()->process(ImageProcessItem{image}, plain), image);
    EXPECT_EQ((DefaultImageProcessor::shared() | DefaultImageProcessor::shared())->process(ImageProcessItem{image}, plain),
              image);
}

} // namespace
} // namespace Lumen
