#include "Lumen/foundation/imaging/BoxBlur.h"
#include "Lumen/foundation/imaging/GIFFrameSource.h"
#include "Lumen/foundation/imaging/ImageBlur.h"
#include "Lumen/foundation/imaging/ImageFilter.h"
#include "Lumen/foundation/imaging/ImagePainting.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

#include <cmath>
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
    const auto edge = [](QColor color) { return Border(color, 4, Radius::point(0), RectCorner::all); };
    const struct { const char* name; ImagePtr result; QPoint at; QColor expected; } cases[] = {
        {"the corner asked for is cut", roundedCorners(red, 12.0, {40, 40}, RectCorner::topLeft), {0, 0}, clear},
        {"the background in cut corners", roundedCorners(red, 8.0, {20, 20}, RectCorner::all, QColor(Qt::blue)), {0, 0},
         Qt::blue},
        // Half the width makes a circle of the target size, not of the image.
        {"a circle", roundedCorners(solidImage({10, 10}, Qt::red), Radius::widthFraction(0.5), {60, 60}), {5, 5}, clear},
        {"a border inside the edge", bordered(white, edge(Qt::red)), {3, 10}, Qt::red},
        {"a translucent border once", bordered(white, edge(QColor(255, 0, 0, 128))), {1, 10}, QColor(255, 127, 127)},
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

TEST(BoxBlurParameters, FollowTheRadius)
{
    using P = BoxBlurParameters;
    const std::pair<double, std::optional<P>> cases[] = {{0.3, P{5, 1}}, {1.0, P{5, 2}}, {2.0, P{5, 3}},
        {-3.0, P{5, 1}}, {4.0, P{9, 3}}, {40.0, P{75, 3}}, {std::numeric_limits<double>::infinity(), std::nullopt},
        {std::nan(""), std::nullopt}, {1e12, std::nullopt}};
    for (const auto& [radius, expected] : cases)
        EXPECT_EQ(BoxBlurParameters::forRadius(radius), expected) << radius;
}

TEST(BoxBlur, AveragesTheBoxAndExtendsTheEdges)
{
    QImage dot = solidBitmap({13, 9}, Qt::black);
    dot.setPixel(6, 4, qRgb(250, 250, 250));
    // One bright pixel spreads evenly over its 5 x 5 box.
    EXPECT_EQ(qRed(boxBlurred(dot, 5, 1).pixel(8, 2)), 10);
    // Beyond the edges lies more of the edge, not black: a flat image stays flat.
    const QImage grey = solidBitmap({13, 9}, QColor(120, 120, 120));
    EXPECT_EQ(boxBlurred(grey, 31, 1).pixel(0, 0), grey.pixel(0, 0));
}

TEST(BoxBlur, UnusableInputAndBuffersBeyondTheBitmapBudgetAreRefused)
{
    const QImage dot = solidBitmap({8, 8}, Qt::black);
    for (auto [box, passes] : {std::pair{4, 1}, {0, 1}, {5, 0}, {BoxBlurParameters::maxBoxSize + 2, 1}})
        EXPECT_TRUE(boxBlurred(dot, box, passes).isNull()) << box << " x " << passes;
    // Boxes far larger than the image still average within it.
    EXPECT_FALSE(boxBlurred(dot, 4095, 3).isNull());
    EXPECT_FALSE(blurred(Image::makeEmpty(), 4.0)->hasBitmap());

    // The ring of row sums holds up to twice the image's bytes, so a large box over a large image
    // would pass the bitmap budget several times over.
    const ImagePtr big = solidImage({4096, 2800}, Qt::black);
    EXPECT_FALSE(boxBlurred(big->bitmap(), 5, 1).isNull());
    EXPECT_TRUE(boxBlurred(big->bitmap(), 2801, 1).isNull());
    EXPECT_EQ(blurred(big, 2000.0), big);
}

TEST(ImageBlur, BlursAtThePixelSizeAndScaleOfTheInput)
{
    QImage dot = solidBitmap({40, 30}, Qt::black);
    dot.setPixel(20, 15, qRgb(255, 255, 255));
    const ImagePtr image = Image::make(dot, 2.0);
    const ImagePtr result = blurred(image, 4.0);
    EXPECT_GT(qRed(result->bitmap().pixel(22, 15)), 0);
    // The blurred pixels of a premultiplied image stay valid: no colour above its alpha.
    for (int x = 0; x < 40; ++x)
        EXPECT_LE(qRed(result->bitmap().pixel(x, 15)), qAlpha(result->bitmap().pixel(x, 15)));
}

// The tint colour's alpha decides what shows through; neutral colour controls change nothing.
TEST(ColourFilters, NeutralSettingsChangeNothingAndEachSettingMovesThePixels)
{
    const ImagePtr image = Image::make(detailedBitmap({16, 8}, true), 2.0);
    EXPECT_EQ(tinted(image, QColor(0, 0, 255, 0))->bitmap(), image->bitmap());
    EXPECT_EQ(colorAdjusted(image, 0.0, 1.0, 1.0, 0.0)->bitmap(), image->bitmap());
    // Saturation 0 is grey and keeps alpha.
    const QRgb grey = colorAdjusted(image, 0.0, 1.0, 0.0, 0.0)->bitmap().pixel(12, 5);
    EXPECT_EQ(grey, qRgba(qRed(grey), qRed(grey), qRed(grey), qAlpha(image->bitmap().pixel(12, 5))));
    // A stop of exposure doubles linear light: sRGB 128 (0.2158 linear) becomes 0.4317, sRGB 175.
    const ImagePtr mid = solidImage({2, 2}, QColor(128, 64, 32));
    EXPECT_NEAR(colorAdjusted(mid, 0.0, 1.0, 1.0, 1.0)->bitmap().pixelColor(0, 0).red(), 175, 1);
}

TEST(Filters, NoOutputLeavesTheInputAndAnotherSizeIsBroughtBack)
{
    const ImagePtr image = solidImage({16, 8}, Qt::red);
    EXPECT_EQ(applying(image, Filter([](const QImage&) { return QImage(); })), image);
    EXPECT_EQ(colorAdjusted(image, std::nan(""), 1.0, 1.0, 0.0), image);
    EXPECT_EQ(tinted(image, QColor()), image);
    const ImagePtr fixed = applying(image, Filter([](const QImage& input) { return input.scaled(4, 4); }));
    EXPECT_EQ(fixed->pixelSize(), QSize(16, 8));
}
