#include "TivrandApp/ui/SymbolIcon.h"

#include <gtest/gtest.h>

#include <QImage>

using namespace Tivrand;

TEST(SymbolIcon, AMissingSymbolGivesNothingRatherThanFailing)
{
    EXPECT_TRUE(symbolIcon("no.such.symbol", Qt::white, 16).isNull());
    EXPECT_TRUE(symbolPixmap("../../etc/passwd", Qt::white, 16).isNull());
    EXPECT_TRUE(symbolPixmap("star", Qt::white, 0).isNull());
}

TEST(SymbolIcon, TheSymbolIsDrawnInTheAskedColourAndOpacityOnTransparency)
{
    const QColor yellow(255, 214, 10);
    const QPixmap pixmap = symbolPixmap("star.fill", yellow, 24);
    EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), QSize(24, 24));
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "the corner stays transparent";
    EXPECT_EQ(image.pixel(image.rect().center()), yellow.rgb());

    QColor halfWhite(Qt::white);
    halfWhite.setAlphaF(0.5f);
    const QImage half = symbolPixmap("star.fill", halfWhite, 24).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_NEAR(qAlpha(half.pixel(half.rect().center())), 128, 2);
}
