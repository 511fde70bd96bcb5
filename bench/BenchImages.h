#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>

// The app icon stand-in of the benchmarks: 100 x 100 pixels of gradients, so its PNG is not
// trivially small.
inline QImage iconBitmap()
{
    QImage bitmap(100, 100, QImage::Format_ARGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            bitmap.setPixel(x, y, qRgba(x * 2, y * 2, (x + y) % 256, 255));
    return bitmap;
}

inline QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

inline QByteArray iconPng()
{
    return pngBytes(iconBitmap());
}

// Random pixels: PNG cannot compress them, so the file is about 4 bytes a pixel.
inline QByteArray noisePng(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = QRandomGenerator::global()->generate();
    }
    return pngBytes(image);
}
