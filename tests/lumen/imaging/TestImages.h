#pragma once

#include "Lumen/foundation/Image.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

namespace Tivrand::Testing {

inline QImage solidBitmap(QSize size, QColor color)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

inline Lumen::ImagePtr solidImage(QSize size, QColor color)
{
    return Lumen::Image::make(solidBitmap(size, color));
}

// Left half one colour, right half another.
inline QImage splitBitmap(QSize size, QColor left, QColor right)
{
    QImage image = solidBitmap(size, left);
    for (int y = 0; y < size.height(); ++y)
        for (int x = size.width() / 2; x < size.width(); ++x)
            image.setPixelColor(x, y, right);
    return image;
}

inline QByteArray encodedBitmap(const QImage& image, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

} // namespace Tivrand::Testing
