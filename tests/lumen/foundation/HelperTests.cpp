#include "Lumen/foundation/Digest.h"
#include "Lumen/foundation/Geometry.h"
#include "Lumen/foundation/KeyHelpers.h"
#include "Lumen/foundation/LumenWrapper.h"
#include "Lumen/foundation/RoundedRectPath.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <limits>

namespace Lumen {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

TEST(Digest, HashesTheUtf8BytesOfTheKey)
{
    const QString loneHigh = QStringLiteral("a") + QChar(char16_t(0xD800)) + QStringLiteral("b");
    const std::pair<QString, const char*> table[] = {
        {QString(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {QStringLiteral("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {QStringLiteral(u"Grüße, 日本"), "0b836833dc8ecad120bdeafe52e9eab681da2d0d7704e451b216aad3d2b2ab78"},
        // A character outside the BMP is one four-byte sequence, not two surrogates.
        {QStringLiteral(u"😀"), "f0443a342c5ef54783a111b51ba56c938e474c32324d90c3a60c9c8e3a37e2d9"},
        // Never the raw key, and never the digest of a lossy conversion.
        {loneHigh, "45e334b6c74ca5db8d8f8fcd1157fb31a2ebc9953e0d8d182e37b6b67e6a1705"},
    };
    for (const auto& [key, digest] : table)
        EXPECT_EQ(sha256Hex(key), digest) << key.toStdString();
    EXPECT_EQ(lm(QStringLiteral("abc")).sha256(), sha256Hex(u"abc"));
}

TEST(KeyFileExtension, TakesTextAfterLastDotBeforeFirstAt)
{
    const std::pair<const char16_t*, std::optional<QString>> table[] = {
        {u"photo.png", QStringLiteral("png")},       {u"a.b.jpg@2x", QStringLiteral("jpg")},
        {u"@photo.gif", QStringLiteral("gif")},      {u"@@photo.gif@x.png", QStringLiteral("gif")},
        {u"archive.tar/inner", QStringLiteral("tar/inner")},
        {u"https://host/i.webp?s=2", QStringLiteral("webp?s=2")},
        {u"photo.", std::nullopt},                   {u"photo@2x.png", std::nullopt},
        {u"", std::nullopt},                         {u"@@@", std::nullopt},
    };
    for (const auto& [key, extension] : table)
        EXPECT_EQ(fileExtension(key), extension) << QString::fromUtf16(key).toStdString();
    EXPECT_EQ(lm(QStringLiteral("a.b.jpg@2x")).fileExtension(), QStringLiteral("jpg"));
}

TEST(Geometry, FitsAndFillsByAspect)
{
    const struct { QSizeF size, target, fit, fill; } table[] = {
        {{200, 100}, {100, 100}, {100, 50}, {200, 100}},
        // Halves round away from zero: 7.5 -> 8 and 2.5 -> 3.
        {{3, 2}, {10, 5}, {8, 5}, {10, 7}},
        {{4, 1}, {10, 1}, {4, 1}, {10, 3}},
        // A zero height counts as square; a zero width has no width at any height, and no
        // finite height fills a wider target.
        {{200, 0}, {300, 40.4}, {40, 40.4}, {300, 300}},
        {{0, 100}, {50, 80}, {0, 80}, {0, 0}},
        {{0, 100}, {0, 80}, {0, 80}, {0, 80}},
        // Non-finite input gives an empty size, and so does an overflowing result below.
        {{nan, 10}, {100, 100}, {0, 0}, {0, 0}},
        {{100, 100}, {infinity, 10}, {0, 0}, {0, 0}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(testing::Message() << row.size.width() << "x" << row.size.height() << " into "
                                        << row.target.width() << "x" << row.target.height());
        EXPECT_EQ(constrainedSize(row.size, row.target), row.fit);
        EXPECT_EQ(fillingSize(row.size, row.target), row.fill);
    }
    EXPECT_EQ(fillingSize({1e-300, 1}, {1e10, 1}), QSizeF(0, 0));
    EXPECT_EQ(resizedSize({400, 200}, {100, 100}, ContentMode::none), QSizeF(100, 100));
    EXPECT_EQ(resizedSize({400, 200}, {100, 100}, ContentMode::aspectFit), QSizeF(100, 50));
    EXPECT_EQ(resizedSize({400, 200}, {100, 100}, ContentMode::aspectFill), QSizeF(200, 100));
    EXPECT_EQ(lm(QSizeF(200, 100)).filling({100, 100}), QSizeF(200, 100));
}

TEST(Geometry, CropIsPlacedByAnchorAndStaysInsideTheImage)
{
    const struct { QSizeF target; QPointF anchor; QRectF expected; } table[] = {
        {{50, 40}, {0, 0}, {0, 0, 50, 40}},      {{50, 40}, {0.5, 0.5}, {25, 20, 50, 40}},
        {{50, 40}, {1, 1}, {50, 40, 50, 40}},    {{300, 300}, {0.5, 0.5}, {0, 0, 100, 80}},
        {{50, 40}, {-3, 7}, {0, 40, 50, 40}},    {{50, 40}, {nan, 1}, {0, 40, 50, 40}},
    };
    for (const auto& row : table)
        EXPECT_EQ(constrainedRect({100, 80}, row.target, row.anchor), row.expected)
            << row.anchor.x() << ", " << row.anchor.y();
    EXPECT_TRUE(constrainedRect({100, 80}, {nan, 40}, {0.5, 0.5}).isEmpty());
    EXPECT_EQ(lm(QSizeF(200, 100)).constrainedRect({100, 100}, {0.5, 0.5}), QRectF(50, 0, 100, 100));
}

constexpr int side = 40;

// Fills the path opaque on a transparent bitmap; pixel (0, 0) is the top-left on screen.
QImage drawn(const QPainterPath& path, QSize size = {side, side})
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillPath(path, Qt::black);
    return image;
}

bool isFilled(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)) == 255; }

const struct CornerPixel {
    RectCorner corner;
    int x, y;
} cornerPixels[] = {{RectCorner::topLeft, 0, 0}, {RectCorner::topRight, side - 1, 0},
                    {RectCorner::bottomLeft, 0, side - 1}, {RectCorner::bottomRight, side - 1, side - 1}};

TEST(RoundedRectPath, EachCornerBitRoundsTheCornerSeenOnScreen)
{
    for (const CornerPixel& rounded : cornerPixels) {
        const QImage image = drawn(roundedRectPath(QRectF(0, 0, side, side), rounded.corner, 15));
        for (const CornerPixel& probe : cornerPixels) {
            EXPECT_EQ(isFilled(image, probe.x, probe.y), probe.corner != rounded.corner)
                << "rounded " << rounded.corner.rawValue() << ", probed " << probe.corner.rawValue();
        }
    }
}

// Each radius goes to its own corner, is limited to half the shorter side, and an unusable one
// gives a sharp corner.
TEST(RoundedRectPath, FourRadiiGoToTheirCornersWithinHalfTheShorterSide)
{
    const QImage image = drawn(roundedRectPath(QRectF(0, 0, side, side), nan, 20, 4, -5));
    EXPECT_TRUE(isFilled(image, 0, 0));
    EXPECT_FALSE(isFilled(image, side - 4, 3)); // deep inside the top-right cut
    EXPECT_TRUE(isFilled(image, 2, side - 3)); // a radius of 4 cuts little

    const QImage pill = drawn(roundedRectPath(QRectF(0, 0, 40, 20), RectCorner::all, 1000), {40, 20});
    EXPECT_TRUE(isFilled(pill, 1, 10)); // a round end, not a collapsed outline
    EXPECT_FALSE(isFilled(pill, 1, 1));

    // An unusable rectangle gives nothing.
    for (const QRectF& bad : {QRectF(0, 0, 0, 10), QRectF(0, 0, 10, -1), QRectF(0, 0, nan, 10)})
        EXPECT_TRUE(roundedRectPath(bad, RectCorner::all, 2).isEmpty());
}

} // namespace
} // namespace Lumen
