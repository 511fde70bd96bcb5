#include "Lumen/views/LMImageDrawing.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <vector>

using namespace Lumen;

namespace {

// A red image of `size` whose outermost pixels are blue.
ImagePtr framedImage(QSize size)
{
    QImage bitmap(size, QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(Qt::blue);
    QPainter(&bitmap).fillRect(QRect(QPoint(1, 1), size - QSize(2, 2)), Qt::red);
    return Image::make(bitmap);
}

TEST(LMImageDrawing, PlacesAndShapesTheImageAsTheContentSays)
{
    using enum LMImageContent::ResizingMode;
    const QRgb none = 0, red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
    const QMarginsF edges(1, 1, 1, 1);
    const struct {
        const char* name;
        QSize imageSize;
        LMImageContent content;
        std::vector<std::pair<QPoint, QRgb>> pixels;
    } cases[] = {
        {"own size, centred", {4, 4}, {}, {{{1, 1}, none}, {{6, 6}, blue}, {{7, 7}, red}, {{12, 12}, none}}},
        {"stretched", {4, 4}, {.resizable = true}, {{{0, 0}, blue}, {{8, 8}, red}, {{15, 15}, blue}}},
        {"fitted", {8, 4}, {.resizable = true, .contentMode = ContentMode::aspectFit},
         {{{8, 2}, none}, {{8, 8}, red}, {{8, 13}, none}}},
        {"rounded", {4, 4}, {.resizable = true, .cornerRadius = 6},
         {{{0, 0}, none}, {{8, 8}, red}, {{15, 15}, none}, {{8, 0}, blue}}},
        {"cap insets keep the frame thin", {4, 4}, {.resizable = true, .capInsets = edges},
         {{{0, 0}, blue}, {{8, 0}, blue}, {{4, 8}, red}, {{8, 8}, red}, {{15, 8}, blue}}},
        {"cap insets, middle tiled", {4, 4}, {.resizable = true, .capInsets = edges, .resizingMode = tile},
         {{{0, 0}, blue}, {{2, 2}, red}, {{13, 13}, red}, {{8, 15}, blue}}},
    };
    for (const auto& test : cases) {
        LMImageContent content = test.content;
        content.image = framedImage(test.imageSize);
        LMImageDrawing drawing;
        drawing.setContent(content);
        QImage canvas(16, 16, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        drawing.paint(painter, QRectF(0, 0, 16, 16), 1.0);
        painter.end();
        for (const auto& [point, expected] : test.pixels)
            EXPECT_EQ(canvas.pixel(point), expected) << test.name << " at " << point.x() << "," << point.y();
    }
}

} // namespace
