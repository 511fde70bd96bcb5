#include "TivrandApp/search/StarRatingView.h"
#include "TivrandApp/ui/SymbolIcon.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <limits>

using namespace Tivrand;

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

// Pixels with any ink.
int inkOf(const QImage& image)
{
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            inked += qAlpha(image.pixel(x, y)) != 0;
    }
    return inked;
}

} // namespace

TEST(SymbolResources, EveryIconIsASelfContainedSquareWhiteSvgWithInk)
{
    constexpr int side = 48;
    for (const QString& name : iconNames) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(QSvgRenderer(resourcePath(name)).viewBoxF(), QRectF(0, 0, 24, 24));
        // Some ink, but not a filled square.
        const QImage icon = render(name, side);
        EXPECT_GT(inkOf(icon), side * side / 20);
        EXPECT_LT(inkOf(icon), side * side * 9 / 10);

        QFile file(resourcePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray source = file.readAll();
        // Self-contained: nothing fetched or drawn from elsewhere; white only, so the icons can be tinted.
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
    EXPECT_GT(inkOf(image.copy(28, 40, 18, 16)), inkOf(image.copy(50, 40, 18, 16)) * 2);
}

TEST(SymbolIcon, TheSymbolIsDrawnInTheAskedColourAndOpacityOnTransparencyAndAMissingOneGivesNothing)
{
    EXPECT_TRUE(symbolIcon("no.such.symbol", Qt::white, 16).isNull());
    EXPECT_TRUE(symbolPixmap("../../etc/passwd", Qt::white, 16).isNull());
    EXPECT_TRUE(symbolPixmap("star", Qt::white, 0).isNull());

    const QColor yellow(255, 214, 10);
    const QImage image = symbolPixmap("star.fill", yellow, 24).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "the corner stays transparent";
    EXPECT_EQ(image.pixel(image.rect().center()), yellow.rgb());

    QColor halfWhite(Qt::white);
    halfWhite.setAlphaF(0.5f);
    const QImage half = symbolPixmap("star.fill", halfWhite, 24).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_NEAR(qAlpha(half.pixel(half.rect().center())), 128, 2);
}

TEST(StarRating, StarsFollowTheQuarterRuleAndClampOddValues)
{
    constexpr double infinity = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> table[] = {
        {0, "EEEEE"},     {5, "FFFFF"},    {3.3, "FFFHE"},  {3.2, "FFFEE"},   {3.8, "FFFFE"},
        {0.5, "HEEEE"},   {2.5, "FFHEE"},  {4.5, "FFFFH"},  {3.25, "FFFHE"},  {3.75, "FFFFE"},
        {3.24, "FFFEE"},  {3.74, "FFFHE"}, {0.1, "EEEEE"},  {4.99, "FFFFF"},  {1, "FEEEE"},
        {-1, "EEEEE"},    {7, "FFFFF"},    {infinity, "FFFFF"}, {-infinity, "EEEEE"},
        {std::numeric_limits<double>::quiet_NaN(), "EEEEE"},
    };
    for (const auto& [rating, expected] : table) {
        QString letters; // F full, H half, E empty
        for (const QString& symbol : starSymbols(rating))
            letters += symbol == "star.fill" ? 'F' : symbol == "star.lefthalf.fill" ? 'H' : symbol == "star" ? 'E' : '?';
        EXPECT_EQ(letters, expected) << rating;
    }
}
