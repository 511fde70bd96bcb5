#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageWriter>

#include <vector>

namespace Tivrand::Testing {

// A detailed picture, so every progressive scan changes the decoded pixels.
inline QImage gradientBitmap(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, QColor((x * 4) % 256, (y * 5) % 256, (x * y) % 256));
    return image;
}

inline QByteArray progressiveJpeg(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.setQuality(90);
    writer.write(image);
    return bytes;
}

// Positions of every start-of-scan marker (FF DA).
inline std::vector<qsizetype> startOfScanPositions(const QByteArray& data)
{
    std::vector<qsizetype> positions;
    for (qsizetype i = 0; i + 1 < data.size(); ++i)
        if (static_cast<unsigned char>(data[i]) == 0xFF && static_cast<unsigned char>(data[i + 1]) == 0xDA)
            positions.push_back(i);
    return positions;
}

} // namespace Tivrand::Testing
