#include "tests/support/Screenshots.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace {

// Every symbol the views name; each must exist as a resource.
const QStringList iconNames{
    QStringLiteral("magnifyingglass"),    QStringLiteral("iphone"),
    QStringLiteral("ipad"),               QStringLiteral("laptopcomputer"),
    QStringLiteral("visionpro"),          QStringLiteral("checkmark"),
    QStringLiteral("chevron.down"),       QStringLiteral("star"),
    QStringLiteral("star.fill"),          QStringLiteral("star.lefthalf.fill"),
    QStringLiteral("arrow.up.right.square"), QStringLiteral("doc.on.doc"),
    QStringLiteral("plus.circle"),        QStringLiteral("person.circle.fill"),
    QStringLiteral("apple.logo"),         QStringLiteral("lock.shield.fill"),
    QStringLiteral("plus"),               QStringLiteral("xmark.circle.fill"),
};

QString resourcePath(const QString& name)
{
    return QStringLiteral(":/icons/%1.svg").arg(name);
}

QImage render(const QString& name, int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(resourcePath(name));
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

struct InkCoverage {
    int inked = 0;
    int notWhite = 0;
};

InkCoverage measure(const QImage& image)
{
    InkCoverage coverage;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 0)
                continue;
            ++coverage.inked;
            if (qRed(pixel) != 255 || qGreen(pixel) != 255 || qBlue(pixel) != 255)
                ++coverage.notWhite;
        }
    }
    return coverage;
}

} // namespace

TEST(SymbolResources, EveryIconIsAValidSquareSvg)
{
    for (const QString& name : iconNames) {
        SCOPED_TRACE(name.toStdString());
        QSvgRenderer renderer(resourcePath(name));
        ASSERT_TRUE(renderer.isValid());
        EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, 24, 24));
    }
}

TEST(SymbolResources, EveryIconDrawsWhiteInkInsideItsBounds)
{
    for (const QString& name : iconNames) {
        SCOPED_TRACE(name.toStdString());
        const QImage image = render(name, 48);
        const InkCoverage coverage = measure(image);
        // Some ink, but not a filled square: a broken path renders as nothing or as everything.
        EXPECT_GT(coverage.inked, 48 * 48 / 20);
        EXPECT_LT(coverage.inked, 48 * 48 * 9 / 10);
        // A single colour, so the icons can be tinted by rendering.
        EXPECT_EQ(coverage.notWhite, 0);
    }
}

TEST(SymbolResources, IconsCarryNoTextOrExternalReferences)
{
    for (const QString& name : iconNames) {
        SCOPED_TRACE(name.toStdString());
        QFile file(resourcePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray source = file.readAll();
        EXPECT_FALSE(source.contains("<text"));
        EXPECT_FALSE(source.contains("href"));
        EXPECT_FALSE(source.contains("url("));
        for (const QByteArray& colour : {QByteArray("fill=\"#"), QByteArray("stroke=\"#")}) {
            qsizetype at = source.indexOf(colour);
            while (at >= 0) {
                EXPECT_EQ(source.mid(at + colour.size(), 6), QByteArray("ffffff"));
                at = source.indexOf(colour, at + 1);
            }
        }
    }
}

TEST(SymbolResources, HalfStarIsFilledOnTheLeftOnly)
{
    const QImage image = render(QStringLiteral("star.lefthalf.fill"), 96);
    const auto inkedIn = [&](int fromX, int toX) {
        return measure(image.copy(fromX, 40, toX - fromX, 16)).inked;
    };
    // Inside the star body, the left half is solid and the right half only outlined.
    EXPECT_GT(inkedIn(28, 46), inkedIn(50, 68) * 2);
}

// A contact sheet for looking at the icons by eye, light on the program's dark background.
TEST(Screenshot, IconContactSheet)
{
    constexpr int side = 48;
    constexpr int cell = 64;
    constexpr int columns = 6;
    const int rows = static_cast<int>((iconNames.size() + columns - 1) / columns);
    QImage sheet(columns * cell, rows * cell, QImage::Format_ARGB32);
    sheet.fill(QColor(0x1e, 0x1e, 0x1e));
    QPainter painter(&sheet);
    for (int index = 0; index < iconNames.size(); ++index) {
        const QPoint origin((index % columns) * cell + (cell - side) / 2,
                            (index / columns) * cell + (cell - side) / 2);
        painter.drawImage(origin, render(iconNames.at(index), side));
    }
    painter.end();

    EXPECT_TRUE(Tivrand::Testing::saveScreenshot(sheet, QStringLiteral("icons")));
}
