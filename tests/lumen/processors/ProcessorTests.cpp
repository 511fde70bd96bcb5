#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageBlur.h"
#include "Lumen/foundation/imaging/ImageFilter.h"
#include "Lumen/foundation/imaging/ImagePainting.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "Lumen/foundation/processors/BlurImageProcessor.h"
#include "Lumen/foundation/processors/BorderImageProcessor.h"
#include "Lumen/foundation/processors/CIImageProcessor.h"
#include "Lumen/foundation/processors/ColorControlsProcessor.h"
#include "Lumen/foundation/processors/CompositingImageProcessor.h"
#include "Lumen/foundation/processors/CroppingImageProcessor.h"
#include "Lumen/foundation/processors/DownsamplingImageProcessor.h"
#include "Lumen/foundation/processors/GeneralProcessor.h"
#include "Lumen/foundation/processors/LivePhotoImageProcessor.h"
#include "Lumen/foundation/processors/OverlayImageProcessor.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"
#include "Lumen/foundation/processors/ResizingImageProcessor.h"
#include "Lumen/foundation/processors/RoundCornerImageProcessor.h"
#include "Lumen/foundation/processors/TintImageProcessor.h"
#include "tests/lumen/imaging/TestImages.h"
#include "tests/support/CountingProcessor.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <clocale>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace Lumen {
namespace {

using namespace Tivrand::Testing;

using Golden = std::pair<std::shared_ptr<const ImageProcessor>, std::string>;

// One processor of each kind with the identifier it must keep: cached files are named by it.
std::vector<Golden> goldenIdentifiers()
{
    const QColor red(255, 0, 0);
    const std::string lumen = "com.vantrel.Lumen.";
    return {
        {DefaultImageProcessor::shared(), ""},
        {std::make_shared<CompositingImageProcessor>(CompositingOperation::sourceAtop, 0.5),
         lumen + "CompositingImageProcessor(5,0.5)"},
        {std::make_shared<CompositingImageProcessor>(CompositingOperation::copy, 1.0, QColor(0, 0, 255, 128)),
         lumen + "CompositingImageProcessor(1,1.0)_(0.00,0.00,1.00,0.50)"},
        {std::make_shared<RoundCornerImageProcessor>(10.0, std::nullopt, RectCorner::topLeft | RectCorner::topRight),
         lumen + "RoundCornerImageProcessor(10.0_corner(3))"},
        {std::make_shared<RoundCornerImageProcessor>(Radius::widthFraction(0.5), QSizeF(100, 100)),
         lumen + "RoundCornerImageProcessor(w_frac_0.5_(100.0, 100.0))"},
        {std::make_shared<RoundCornerImageProcessor>(Radius::heightFraction(0.25), std::nullopt, RectCorner()),
         lumen + "RoundCornerImageProcessor(h_frac_0.25_corner(0))"},
        {std::make_shared<RoundCornerImageProcessor>(4.0, std::nullopt, RectCorner::all, red),
         lumen + "RoundCornerImageProcessor(4.0)_extendedSRGB(1 0 0 1)"},
        {std::make_shared<BorderImageProcessor>(Border(red, 2.0, Radius::point(6.0), RectCorner::all)),
         lumen + "RoundCornerImageProcessor(Border(color: extendedSRGB(1 0 0 1), lineWidth: 2.0, "
                 "radius: point(6.0), roundingCorners: RectCorner(rawValue: 15))"},
        {std::make_shared<ResizingImageProcessor>(QSizeF(200, 100), ContentMode::aspectFit),
         lumen + "ResizingImageProcessor((200.0, 100.0), aspectFit)"},
        {std::make_shared<ResizingImageProcessor>(QSizeF(64, 32.5)), lumen + "ResizingImageProcessor((64.0, 32.5))"},
        {std::make_shared<BlurImageProcessor>(4.0), lumen + "BlurImageProcessor(4.0)"},
        {std::make_shared<OverlayImageProcessor>(red, 0.7), lumen + "OverlayImageProcessor((1.00,0.00,0.00,1.00)_0.7)"},
        {std::make_shared<TintImageProcessor>(QColor::fromRgbF(0.25f, 0.5f, 0.75f, 0.5f)),
         lumen + "TintImageProcessor((0.25,0.50,0.75,0.50))"},
        {std::make_shared<ColorControlsProcessor>(0.0, 1.0, 0.0, 0.7), lumen + "ColorControlsProcessor(0.0_1.0_0.0_0.7)"},
        {std::make_shared<BlackWhiteProcessor>(), lumen + "BlackWhiteProcessor"},
        {std::make_shared<CroppingImageProcessor>(QSizeF(50, 40), QPointF(0.5, 1)),
         lumen + "CroppingImageProcessor((50.0, 40.0)_(0.5, 1.0))"},
        {std::make_shared<DownsamplingImageProcessor>(QSizeF(100, 50)), lumen + "DownsamplingImageProcessor((100.0, 50.0))"},
        {std::make_shared<LivePhotoImageProcessor>(), lumen + "LivePhotoImageProcessor"},
        {std::make_shared<GeneralProcessor>(QStringLiteral("my.processor"), GeneralProcessor::Body()), "my.processor"},
    };
}

// Cached files are named by these texts, so no locale may change them.
TEST(ProcessorIdentifier, EveryProcessorKeepsItsStoredTextInAnyLocale)
{
    const QLocale previousDefault;
    const std::string previousC = std::setlocale(LC_ALL, nullptr);
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        SCOPED_TRACE(locale);
        QLocale::setDefault(QLocale(QString::fromLatin1(locale).section(u'.', 0, 0)));
        // Where the system has the locale, the C library's number formatting changes too.
        std::setlocale(LC_ALL, locale);
        for (const auto& [processor, expected] : goldenIdentifiers())
            EXPECT_EQ(processor->identifier().toStdString(), expected);
        EXPECT_EQ(IdentifierText::number(1234567.25), QStringLiteral("1234567.25"));
    }
    EXPECT_EQ(QLocale().decimalPoint(), QStringLiteral(","));
    std::setlocale(LC_ALL, previousC.c_str());
    QLocale::setDefault(previousDefault);
}

TEST(ProcessorIdentifier, NumbersAndColoursUseLocaleFreeShortestText)
{
    const std::pair<double, const char*> numbers[] = {{10, "10.0"}, {0.1 + 0.2, "0.30000000000000004"}, {-0.0, "-0.0"},
        {0.00001, "1e-05"}, {1e16, "1e+16"}, {std::numeric_limits<double>::quiet_NaN(), "nan"},
        {-std::numeric_limits<double>::infinity(), "-inf"}};
    for (const auto& [value, expected] : numbers)
        EXPECT_EQ(IdentifierText::number(value).toStdString(), expected);
    EXPECT_EQ(IdentifierText::rgba(QColor()), QStringLiteral("(invalid)"));
    // Colours too close for two decimals still name different round-corner backgrounds.
    const QColor a = QColor::fromRgba64(30000, 0, 0);
    const QColor b = QColor::fromRgba64(30001, 0, 0);
    EXPECT_NE(RoundCornerImageProcessor(4.0, std::nullopt, RectCorner::all, a).identifier(),
              RoundCornerImageProcessor(4.0, std::nullopt, RectCorner::all, b).identifier());
    // Every setting of a border is in its identifier.
    const Border border(Qt::black, 2.0, Radius::point(6.0), RectCorner::all);
    EXPECT_NE(BorderImageProcessor(border).identifier(),
              BorderImageProcessor(Border(Qt::black, 2.0, Radius::widthFraction(6.0), RectCorner::all)).identifier());
}

TEST(ProcessorIdentifier, JoinedProcessorsJoinTheirIdentifiers)
{
    const std::shared_ptr<const ImageProcessor> blur = std::make_shared<BlurImageProcessor>(4.0);
    EXPECT_EQ(append(nullptr, blur)->identifier(), QStringLiteral("|>com.vantrel.Lumen.BlurImageProcessor(4.0)"));
    EXPECT_EQ((blur | std::make_shared<BlackWhiteProcessor>())->identifier(),
              QStringLiteral("com.vantrel.Lumen.BlurImageProcessor(4.0)|>com.vantrel.Lumen.BlackWhiteProcessor"));
}

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
    const std::shared_ptr<const ImageProcessor> resize =
        std::make_shared<ResizingImageProcessor>(QSizeF(10, 10), ContentMode::aspectFit);
    const std::shared_ptr<const ImageProcessor> tint = std::make_shared<TintImageProcessor>(QColor(0, 0, 255));
    // Data is decoded by the first stage.
    const auto chained = processImage(*(resize | tint), encodedBitmap(solidBitmap({20, 10}, Qt::white), "png"), scaledBy(2.0));
    EXPECT_EQ(chained->size(), QSizeF(5, 2.5));
    EXPECT_EQ(chained->bitmap().pixelColor(3, 3), QColor(0, 0, 255));

    // A processor without a body gives nothing.
    const auto failing = std::make_shared<GeneralProcessor>(QStringLiteral("fails"), GeneralProcessor::Body());
    const auto counting = std::make_shared<CountingProcessor>(QStringLiteral("counts"));
    const auto image = solidImage(QSize(2, 2), Qt::red);
    EXPECT_EQ(processImage(*append(failing, counting), image), nullptr);
    EXPECT_EQ(counting->runs, 0);
    EXPECT_EQ(processImage(*tint, QByteArray("no image here")), nullptr);
    // With nothing to do, the default processor hands back the very image.
    EXPECT_EQ(processImage(*(DefaultImageProcessor::shared() | DefaultImageProcessor::shared()), image), image);
}

// Adopts the filter processor with nothing but its identifier and filter.
class InvertingProcessor final : public CIImageProcessor {
public:
    QString identifier() const override { return QStringLiteral("test.Inverting"); }
    Filter filter() const override
    {
        return Filter([](const QImage& bitmap) {
            QImage inverted = bitmap;
            inverted.invertPixels();
            return inverted;
        });
    }
};

TEST(CIImageProcessor, FiltersImagesUnscaledAndDecodesDataFirst)
{
    const InvertingProcessor inverting;
    const ImagePtr filtered = processImage(inverting, solidImage(QSize(4, 2), Qt::white), scaledBy(2.0));
    EXPECT_EQ(filtered->size(), QSizeF(4, 2));
    EXPECT_EQ(filtered->bitmap().pixelColor(1, 1), QColor(Qt::black));
    EXPECT_EQ(processImage(inverting, encodedBitmap(solidBitmap({4, 2}, Qt::black), "png"))->bitmap().pixelColor(1, 1),
              QColor(Qt::white));
    EXPECT_EQ(processImage(inverting, QByteArray("no image here")), nullptr);
}

} // namespace
} // namespace Lumen
