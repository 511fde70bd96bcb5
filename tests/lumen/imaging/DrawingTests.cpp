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

int alphaAt(const ImagePtr& image, int x, int y)
{
    return qAlpha(image->bitmap().pixel(x, y));
}

QColor colorAt(const ImagePtr& image, int x, int y)
{
    return image->bitmap().pixelColor(x, y);
}

// Four quadrants: red top left, green top right, blue bottom left, yellow bottom right.
ImagePtr quadrants(QSize size)
{
    QImage image = solidBitmap(size, Qt::red);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const bool right = x >= size.width() / 2;
            const bool bottom = y >= size.height() / 2;
            if (right || bottom)
                image.setPixelColor(x, y, bottom ? (right ? Qt::yellow : Qt::blue) : Qt::green);
        }
    return Image::make(image);
}

void expectColorNear(QColor actual, QColor expected, int tolerance = 2)
{
    EXPECT_NEAR(actual.red(), expected.red(), tolerance);
    EXPECT_NEAR(actual.green(), expected.green(), tolerance);
    EXPECT_NEAR(actual.blue(), expected.blue(), tolerance);
    EXPECT_NEAR(actual.alpha(), expected.alpha(), tolerance);
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

TEST(RoundedCorners, TopLeftIsTheCornerSeenOnScreen)
{
    const ImagePtr image = solidImage({40, 40}, Qt::red);
    const ImagePtr rounded = roundedCorners(image, 12.0, {40, 40}, RectCorner::topLeft);
    ASSERT_NE(rounded, image);
    EXPECT_EQ(alphaAt(rounded, 0, 0), 0);
    for (auto [x, y] : {std::pair{39, 0}, {0, 39}, {39, 39}, {20, 20}})
        EXPECT_EQ(alphaAt(rounded, x, y), 255) << x << "," << y;

    const ImagePtr bottomRight = roundedCorners(image, 12.0, {40, 40}, RectCorner::bottomRight);
    EXPECT_EQ(alphaAt(bottomRight, 39, 39), 0);
    EXPECT_EQ(alphaAt(bottomRight, 0, 0), 255);

    // The background shows in the cut corners.
    const ImagePtr onBlue = roundedCorners(image, 8.0, {20, 20}, RectCorner::all, QColor(Qt::blue));
    expectColorNear(colorAt(onBlue, 0, 0), Qt::blue);
    expectColorNear(colorAt(onBlue, 10, 10), Qt::red);
}

TEST(RoundedCorners, HalfTheWidthMakesACircleOfTheTargetSize)
{
    const ImagePtr rounded = roundedCorners(solidImage({10, 10}, Qt::red), Radius::widthFraction(0.5), {60, 60});
    EXPECT_EQ(rounded->pixelSize(), QSize(60, 60));
    for (auto [x, y] : {std::pair{0, 0}, {59, 0}, {0, 59}, {59, 59}, {5, 5}})
        EXPECT_EQ(alphaAt(rounded, x, y), 0) << x << "," << y;
    for (auto [x, y] : {std::pair{30, 1}, {1, 30}, {30, 30}, {58, 30}})
        EXPECT_GT(alphaAt(rounded, x, y), 200) << x << "," << y;
}

TEST(Bordered, StrokesInsideTheEdge)
{
    const ImagePtr image = solidImage({20, 20}, Qt::white);
    const ImagePtr framed = bordered(image, Border(Qt::red, 4, Radius::point(0), RectCorner::all));
    ASSERT_EQ(framed->pixelSize(), QSize(20, 20));
    for (auto [x, y] : {std::pair{0, 0}, {3, 10}, {19, 19}})
        expectColorNear(colorAt(framed, x, y), Qt::red);
    expectColorNear(colorAt(framed, 4, 10), Qt::white);
    expectColorNear(colorAt(framed, 10, 10), Qt::white);

    // A translucent colour is applied once: half red over white.
    const ImagePtr faint = bordered(image, Border(QColor(255, 0, 0, 128), 4, Radius::point(0), RectCorner::all));
    expectColorNear(colorAt(faint, 1, 10), QColor(255, 127, 127), 3);
}

TEST(Resizing, ContentModesPickTheSize)
{
    const ImagePtr image = Image::make(splitBitmap({400, 200}, Qt::red, Qt::green), 2.0);
    EXPECT_EQ(resized(image, {100, 100}, ContentMode::aspectFit)->pixelSize(), QSize(100, 50));
    EXPECT_EQ(resized(image, {100, 100}, ContentMode::aspectFill)->pixelSize(), QSize(200, 100));
    const ImagePtr stretched = resized(image, {100, 100}, ContentMode::none);
    EXPECT_EQ(stretched->pixelSize(), QSize(100, 100));
    EXPECT_EQ(stretched->scale(), 2.0);
    expectColorNear(colorAt(stretched, 10, 50), Qt::red);
    expectColorNear(colorAt(stretched, 90, 50), Qt::green);
}

TEST(Cropping, AnchorsPlaceAndClampTheCut)
{
    const ImagePtr image = quadrants({100, 60});
    const ImagePtr topLeft = cropped(image, {50, 30}, {0, 0});
    EXPECT_EQ(topLeft->pixelSize(), QSize(50, 30));
    expectColorNear(colorAt(topLeft, 25, 15), Qt::red);
    expectColorNear(colorAt(cropped(image, {50, 30}, {1, 1}), 25, 15), Qt::yellow);
    // Anchors outside 0...1 act as the nearest edge.
    expectColorNear(colorAt(cropped(image, {50, 30}, {-3, 7}), 25, 15), Qt::blue);
    const ImagePtr centred = cropped(image, {20, 20}, {0.5, 0.5});
    expectColorNear(colorAt(centred, 0, 0), Qt::red);
    expectColorNear(colorAt(centred, 19, 19), Qt::yellow);
    // Never reaches outside the image.
    EXPECT_EQ(cropped(image, {500, 500}, {0.5, 0.5})->pixelSize(), QSize(100, 60));
    EXPECT_EQ(cropped(image, {500, 10}, {0, 1})->pixelSize(), QSize(100, 10));
}

TEST(Overlay, CoversOnlyWhatIsThere)
{
    QImage bitmap = solidBitmap({10, 10}, Qt::red);
    bitmap.setPixel(0, 0, 0);
    const ImagePtr image = Image::make(bitmap);

    const ImagePtr covered = overlaid(image, Qt::blue, 0.25);
    expectColorNear(colorAt(covered, 5, 5), QColor(64, 0, 191));
    EXPECT_EQ(alphaAt(covered, 0, 0), 0);

    const ImagePtr plain = overlaid(image, Qt::blue, 0.0);
    EXPECT_NE(plain, image);
    expectColorNear(colorAt(plain, 5, 5), Qt::red, 0);
    expectColorNear(colorAt(overlaid(image, Qt::blue, notANumber), 5, 5), Qt::red, 0);
}

TEST(Compositing, OperationsAndBlendModes)
{
    using Op = CompositingOperation;
    const QColor grey(128, 128, 128);
    const QColor none(0, 0, 0, 0);
    const struct { QColor source; Op operation; double fraction; std::optional<QColor> backdrop; QColor expected; } cases[] = {
        // The fraction scales the source before the operation; copy replaces what is beneath.
        {Qt::red, Op::sourceOver, 0.5, std::nullopt, QColor(255, 0, 0, 128)},
        {Qt::red, Op::copy, 0.5, QColor(Qt::blue), QColor(255, 0, 0, 128)},
        {Qt::red, Op::sourceOver, 1.0, QColor(Qt::blue), Qt::red},
        {Qt::red, Op::destinationOver, 1.0, QColor(Qt::blue), Qt::blue},
        {Qt::red, Op::destinationIn, 1.0, std::nullopt, none},
        {Qt::red, Op::clear, 1.0, QColor(Qt::blue), none},
        // The blend modes Qt lacks. Luminosity of grey over red and colour of red over grey meet.
        {QColor(100, 200, 250), Op::plusDarker, 1.0, QColor(200, 100, 50), QColor(45, 45, 45)},
        {QColor(100, 200, 250), Op::plusLighter, 1.0, QColor(200, 100, 50), QColor(255, 255, 255)},
        {grey, Op::luminosity, 1.0, QColor(Qt::red), QColor(255, 74, 74)},
        {Qt::red, Op::color, 1.0, grey, QColor(255, 74, 74)},
        {Qt::green, Op::hue, 1.0, QColor(Qt::red), QColor(0, 130, 0)},
        {Qt::red, Op::saturation, 1.0, grey, grey},
        // Over nothing, every mode shows the source as it is.
        {Qt::green, Op::hue, 1.0, std::nullopt, Qt::green},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.operation));
        const QColor actual = colorAt(composited(solidImage({2, 2}, c.source), c.operation, c.fraction, c.backdrop), 0, 0);
        if (c.expected.alpha() == 0)
            EXPECT_EQ(actual.alpha(), 0);
        else
            expectColorNear(actual, c.expected);
    }
}

TEST(Scaling, DeclaresAScaleWithoutResampling)
{
    const ImagePtr image = solidImage({30, 20}, Qt::red);
    const ImagePtr doubled = scaled(image, 2.0);
    ASSERT_NE(doubled, image);
    EXPECT_EQ(doubled->scale(), 2.0);
    EXPECT_EQ(doubled->pixelSize(), QSize(30, 20));
    EXPECT_EQ(doubled->size(), QSizeF(15, 10));
    EXPECT_EQ(doubled->bitmap().cacheKey(), image->bitmap().cacheKey());
}

TEST(Decoding, RedrawKeepsFullResolution)
{
    const ImagePtr image = Image::make(splitBitmap({30, 20}, Qt::red, Qt::green));
    const ImagePtr redrawn = decoded(image, 2.0);
    ASSERT_NE(redrawn, image);
    EXPECT_EQ(redrawn->pixelSize(), QSize(30, 20));
    EXPECT_EQ(redrawn->scale(), 2.0);
    expectColorNear(colorAt(redrawn, 25, 10), Qt::green, 0);
    EXPECT_EQ(decoded(image, notANumber)->scale(), 1.0);
    EXPECT_EQ(decoded(image, 0.0)->scale(), 1.0);

    const ImagePtr animated = Image::make(solidBitmap({4, 4}, Qt::red));
    animated->setFrameSource(GIFFrameSource::make(solidGif({4, 4}, 2)).value());
    EXPECT_EQ(decoded(animated, 1.0), animated);

    // Onto a given context.
    QImage context = solidBitmap({6, 6}, Qt::blue);
    const ImagePtr drawn = decoded(solidImage({4, 4}, Qt::red), context);
    EXPECT_EQ(drawn->pixelSize(), QSize(6, 6));
    expectColorNear(colorAt(drawn, 1, 1), Qt::red, 0);
    expectColorNear(colorAt(drawn, 5, 5), Qt::blue, 0);
    QImage none;
    EXPECT_EQ(decoded(image, none), image);
}
