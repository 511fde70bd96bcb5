#include "TivrandApp/ui/SymbolIcon.h"

#include <gtest/gtest.h>

#include <QImage>

using namespace Tivrand;

TEST(SymbolIcon, AMissingSymbolGivesNothingRatherThanFailing)
{
    EXPECT_TRUE(symbolPixmap("no.such.symbol", Qt::white, 16).isNull());
    EXPECT_TRUE(symbolIcon("no.such.symbol", Qt::white, 16).isNull());
    EXPECT_TRUE(symbolPixmap("../../etc/passwd", Qt::white, 16).isNull());
    EXPECT_TRUE(symbolPixmap("star", Qt::white, 0).isNull());
}

TEST(SymbolIcon, TheSymbolIsDrawnInTheAskedColourAndOpacityOnTransparency)
{
    const QColor yellow(255, 214, 10);
    const QPixmap pixmap = symbolPixmap("star.fill", yellow, 24);
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), QSize(24, 24));
    EXPECT_FALSE(symbolIcon("star.fill", yellow, 24).isNull());
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "the corner stays transparent";
    const QRgb centre = image.pixel(image.width() / 2, image.height() / 2);
    EXPECT_EQ(qAlpha(centre), 255);
    EXPECT_EQ(QColor(centre).rgb(), yellow.rgb());

    QColor halfWhite(Qt::white);
    halfWhite.setAlphaF(0.5f);
    const QImage half = symbolPixmap("star.fill", halfWhite, 24).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_NEAR(qAlpha(half.pixel(half.width() / 2, half.height() / 2)), 128, 2);
}
