#pragma once

#include "Lumen/foundation/Image.h"
#include "tests/support/GifWriter.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QPainter>

#include <optional>

// Bitmaps, images and their encoded bytes, made at test start.
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
    QPainter(&image).fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), right);
    return image;
}

inline QByteArray encodedBitmap(const QImage& image, const char* format, int quality = -1, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// Distinct, easily told apart frame colours.
inline QRgb frameColor(int index)
{
    static const QRgb colors[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0),
                                  qRgb(0, 255, 255), qRgb(255, 0, 255), qRgb(128, 128, 128), qRgb(255, 255, 255)};
    return colors[index % 8];
}

// `count` solid frames of `size`, each with `delay` hundredths of a second.
inline QByteArray solidGif(QSize size, int count, std::optional<int> delay = 10)
{
    QList<GifFrame> frames;
    for (int index = 0; index < count; ++index)
        frames.append(solidGifFrame(size, frameColor(index), delay));
    return writeGif(size, frames);
}

} // namespace Tivrand::Testing
