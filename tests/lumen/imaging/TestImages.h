#pragma once

#include "tests/support/SampleImages.h"

#include <QFile>
#include <QtEndian>

#include <cstdint>

namespace Tivrand::Testing {

// Colours that change from pixel to pixel, so filters and encoders have detail to work on; with
// `translucent`, alpha falls along each row and the top row is fully transparent.
inline QImage detailedBitmap(QSize size, bool translucent = false)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgba((x * 37 + y * 11) % 256, (x * x + y * 5) % 256, (x * y * 9) % 256,
                                       !translucent ? 255 : y == 0 ? 0 : 255 - x * 255 / size.width()));
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
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

// A valid PNG with `chunk` inserted right after its header chunk (signature 8 bytes, header 25).
inline QByteArray pngWith(const QByteArray& chunk)
{
    return encodedBitmap(solidBitmap({2, 2}, Qt::red), "png").insert(33, chunk);
}

// A valid PNG carrying a text chunk of `textBytes` bytes.
inline QByteArray pngWithTextChunk(qsizetype textBytes)
{
    return pngWith(pngChunk("tEXt", QByteArray("Comment") + '\0' + QByteArray(textBytes, 'x')));
}

} // namespace Tivrand::Testing
