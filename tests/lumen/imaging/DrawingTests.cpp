#include "Lumen/foundation/imaging/GIFFrameSource.h"
#include "Lumen/foundation/imaging/ImagePainting.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>


#include <limits>

using namespace Lumen;
using namespace Tivrand::Testing;

namespace {

const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double infinity = std::numeric_limits<double>::infinity();

// Each channel, alpha included, within `tolerance`.
void expectColorAt(const ImagePtr& image, QPoint at, QColor expected, int tolerance = 2)
{
    const QRgb actual = image->bitmap().pixelColor(at).rgba();
    for (int shift : {0, 8, 16, 24})
        EXPECT_NEAR(int(actual >> shift) & 0xFF, int(expected.rgba() >> shift) & 0xFF, tolerance)
            << "at " << at.x() << "," << at.y() << ", bits from " << shift;
}

} // namespace

TEST(Drawing, UnusableInputComesBackUnchanged)
{
    const ImagePtr image = solidImage({20, 20}, Qt::red);
    for (QSizeF size : {QSizeF(0, 20), QSizeF(notANumber, 20), QSizeF(-5, -5), QSizeF(1e9, 1e9)})
        EXPECT_EQ(roundedCorners(image, 4.0, size), image) << size.width();
    for (double width : {-1.0, notANumber})
        EXPECT_EQ(bordered(image, Border(Qt::red, width, Radius::point(0), RectCorner::all)), image) << width;
    for (QSizeF size : {QSizeF(0, 0), QSizeF(-10, 10), QSizeF(notANumber, 10), QSizeF(infinity, 5), QSizeF(1e7, 1e7)})
        EXPECT_EQ(resized(image, size), image) << size.width();
    EXPECT_EQ(resized(image, {infinity, infinity}, ContentMode::aspectFit), image);
    EXPECT_EQ(cropped(image, {notANumber, 10}, {0, 0}), image);
    EXPECT_EQ(cropped(image, {0, 0}, {0, 0}), image);
    for (double scale : {1.0, notANumber, -2.0})
        EXPECT_EQ(scaled(image, scale), image) << scale;
    const ImagePtr empty = Image::makeEmpty();
    EXPECT_EQ(roundedCorners(empty, 4.0, {20, 20}), empty);
}

TEST(Resampling, ContentModesAnchorsAndScales)
{
    const ImagePtr split = Image::make(splitBitmap({400, 200}, Qt::red, Qt::green), 2.0);
    EXPECT_EQ(resized(split, {100, 100}, ContentMode::aspectFill)->pixelSize(), QSize(200, 100));
    expectColorAt(resized(split, {100, 100}, ContentMode::none), {90, 50}, Qt::green);
    // Anchors outside 0...1 act as the nearest edge, and the cut never reaches outside the image.
    expectColorAt(cropped(split, {50, 30}, {7, -3}), {0, 0}, Qt::green);
    EXPECT_EQ(cropped(split, {500, 10}, {0, 1})->pixelSize(), QSize(400, 10));
    // A scale is declared without resampling.
    EXPECT_EQ(scaled(split, 2.0)->bitmap().cacheKey(), split->bitmap().cacheKey());
}

TEST(Compositing, OperationsAndBlendModes)
{
    using Op = CompositingOperation;
    const QColor grey(128, 128, 128);
    const struct { QColor source; Op operation; double fraction; std::optional<QColor> backdrop; QColor expected; } cases[] = {
        // The fraction scales the source before the operation; copy replaces what is beneath.
        {Qt::red, Op::sourceOver, 0.5, std::nullopt, QColor(255, 0, 0, 128)},
        {Qt::red, Op::copy, 0.5, QColor(Qt::blue), QColor(255, 0, 0, 128)},
        {Qt::red, Op::clear, 1.0, QColor(Qt::blue), QColor(0, 0, 0, 0)},
        // The blend modes Qt lacks. Luminosity of grey over red and colour of red over grey meet.
        {QColor(100, 200, 250), Op::plusDarker, 1.0, QColor(200, 100, 50), QColor(45, 45, 45)},
        {grey, Op::luminosity, 1.0, QColor(Qt::red), QColor(255, 74, 74)},
        {Qt::red, Op::color, 1.0, grey, QColor(255, 74, 74)},
        {Qt::green, Op::hue, 1.0, QColor(Qt::red), QColor(0, 130, 0)},
        {Qt::red, Op::saturation, 1.0, grey, grey},
        // Over nothing, every mode shows the source as it is.
        {Qt::green, Op::hue, 1.0, std::nullopt, Qt::green},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.operation));
        expectColorAt(composited(solidImage({2, 2}, c.source), c.operation, c.fraction, c.backdrop), {0, 0}, c.expected);
    }
}

// Each drawing operation, read at the pixel that shows its rule.
TEST(Drawing, EachOperationPaintsWhereItShould)
{
    const ImagePtr red = solidImage({40, 40}, Qt::red);
    const ImagePtr white = solidImage({20, 20}, Qt::white);
    QImage holed = solidBitmap({10, 10}, Qt::red);
    holed.setPixel(0, 0, 0);
    QImage context = solidBitmap({6, 6}, Qt::blue);
    const QColor clear(0, 0, 0, 0);
    const struct { const char* name; ImagePtr result; QPoint at; QColor expected; } cases[] = {
        {"the corner asked for is cut", roundedCorners(red, 12.0, {40, 40}, RectCorner::topLeft), {0, 0}, clear},
        {"the background in cut corners", roundedCorners(red, 8.0, {20, 20}, RectCorner::all, QColor(Qt::blue)), {0, 0},
         Qt::blue},
        // Half the width makes a circle of the target size, not of the image.
        {"a circle", roundedCorners(solidImage({10, 10}, Qt::red), Radius::widthFraction(0.5), {60, 60}), {5, 5}, clear},
        {"a border inside the edge", bordered(white, Border(Qt::red, 4, Radius::point(0), RectCorner::all)), {3, 10},
         Qt::red},
        {"a translucent border once", bordered(white, Border(QColor(255, 0, 0, 128), 4, Radius::point(0), RectCorner::all)),
         {1, 10}, QColor(255, 127, 127)},
        {"an overlay", overlaid(Image::make(holed), Qt::blue, 0.25), {5, 5}, QColor(64, 0, 191)},
        {"no overlay where nothing is", overlaid(Image::make(holed), Qt::blue, 0.25), {0, 0}, clear},
        {"no overlay of no fraction", overlaid(Image::make(holed), Qt::blue, notANumber), {5, 5}, Qt::red},
        {"redrawn at full resolution", decoded(Image::make(splitBitmap({30, 20}, Qt::red, Qt::green)), 2.0), {25, 10},
         Qt::green},
        {"drawn onto a context", decoded(solidImage({4, 4}, Qt::red), context), {5, 5}, Qt::blue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectColorAt(c.result, c.at, c.expected, 3);
    }
    // An animated image is left as it is.
    const ImagePtr animated = solidImage({4, 4}, Qt::red);
    animated->setFrameSource(GIFFrameSource::make(solidGif({4, 4}, 2)).value());
    EXPECT_EQ(decoded(animated, 1.0), animated);
}
