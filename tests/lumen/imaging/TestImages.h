#pragma once

#include "Lumen/foundation/Image.h"
#include "tests/support/GifWriter.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QtEndian>

#include <cstdint>

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

// A file of tests/fixtures/hostile: a few dozen crafted bytes.
inline QByteArray hostileFixture(const char* name)
{
    QFile file(QStringLiteral(TIVRAND_TEST_FIXTURES "/hostile/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline std::uint32_t crc32(const QByteArray& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= std::uint8_t(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG chunk: length, type, data and checksum.
inline QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<std::uint32_t>(std::uint32_t(data.size()), chunk.data());
    const QByteArray typed = QByteArray(type) + data;
    QByteArray checksum(4, '\0');
    qToBigEndian<std::uint32_t>(crc32(typed), checksum.data());
    return chunk + typed + checksum;
}

// A valid PNG with `chunk` inserted right after its header chunk.
inline QByteArray pngWith(const QByteArray& chunk)
{
    QByteArray png = encodedBitmap(solidBitmap({2, 2}, Qt::red), "png");
    // Signature (8) and the header chunk (25).
    return png.insert(33, chunk);
}

} // namespace Tivrand::Testing
