#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

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

inline QByteArray iconPng()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(iconBitmap());
    return bytes;
}
