#include "tests/support/Screenshots.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace {

// Every symbol the views name; each must exist as a resource.
const QStringList iconNames{"magnifyingglass", "iphone", "ipad", "laptopcomputer", "visionpro", "checkmark",
                            "chevron.down", "star", "star.fill", "star.lefthalf.fill", "arrow.up.right.square",
                            "doc.on.doc", "plus.circle", "person.circle.fill", "apple.logo", "lock.shield.fill",
                            "plus", "xmark.circle.fill"};

QString resourcePath(const QString& name)
{
    return QStringLiteral(":/icons/%1.svg").arg(name);
}

QImage render(const QString& name, int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QSvgRenderer(resourcePath(name)).render(&painter);
    return image;
}

// Pixels with any ink, and those of them that are not pure white.
std::pair<int, int> inkOf(const QImage& image)
{
    int inked = 0;
    int notWhite = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            inked += qAlpha(pixel) != 0;
            notWhite += qAlpha(pixel) != 0 && (pixel & 0xffffff) != 0xffffff;
        }
    }
    return {inked, notWhite};
}

} // namespace

TEST(SymbolResources, EveryIconIsASelfContainedSquareWhiteSvgWithInk)
{
    for (const QString& name : iconNames) {
        SCOPED_TRACE(name.toStdString());
        QSvgRenderer renderer(resourcePath(name));
        ASSERT_TRUE(renderer.isValid());
        EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, 24, 24));

        // Some ink, but not a filled square; one colour, so the icons can be tinted.
        const auto [inked, notWhite] = inkOf(render(name, 48));
        EXPECT_GT(inked, 48 * 48 / 20);
        EXPECT_LT(inked, 48 * 48 * 9 / 10);
        EXPECT_EQ(notWhite, 0);

        QFile file(resourcePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray source = file.readAll();
        // Self-contained: nothing fetched or drawn from elsewhere.
        for (const char* banned : {"<text", "href", "url("})
            EXPECT_FALSE(source.contains(banned)) << banned;
        for (const QByteArray colour : {"fill=\"#", "stroke=\"#"}) {
            for (qsizetype at = source.indexOf(colour); at >= 0; at = source.indexOf(colour, at + 1))
                EXPECT_EQ(source.mid(at + colour.size(), 6), "ffffff");
        }
    }
}

TEST(SymbolResources, HalfStarIsFilledOnTheLeftOnly)
{
    const QImage image = render("star.lefthalf.fill", 96);
    // Inside the star body, the left half is solid and the right half only outlined.
    EXPECT_GT(inkOf(image.copy(28, 40, 18, 16)).first, inkOf(image.copy(50, 40, 18, 16)).first * 2);
}

// A contact sheet for looking at the icons by eye, light on the program's dark background.
TEST(Screenshot, IconContactSheet)
{
    constexpr int side = 48;
    constexpr int cell = 64;
    constexpr int columns = 6;
    QImage sheet(columns * cell, int((iconNames.size() + columns - 1) / columns) * cell, QImage::Format_ARGB32);
    sheet.fill(QColor(0x1e, 0x1e, 0x1e));
    QPainter painter(&sheet);
    for (int index = 0; index < iconNames.size(); ++index) {
        const QPoint origin((index % columns) * cell + (cell - side) / 2, (index / columns) * cell + (cell - side) / 2);
        painter.drawImage(origin, render(iconNames.at(index), side));
    }
    painter.end();
    EXPECT_TRUE(Tivrand::Testing::saveScreenshot(sheet, "icons"));
}
