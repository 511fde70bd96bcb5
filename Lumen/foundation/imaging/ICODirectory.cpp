#include "Lumen/foundation/imaging/ICODirectory.h"

#include "Lumen/foundation/imaging/BMPInfoHeader.h"
#include "Lumen/foundation/imaging/ByteCursor.h"
#include "Lumen/foundation/imaging/PNGChunkWalker.h"

#include <cstdint>

namespace Lumen {

namespace {

constexpr std::size_t directoryHeaderBytes = 6;
constexpr std::size_t entryBytes = 16;
// Colour count, reserved byte, planes and bits per pixel, between the sides and the byte count.
constexpr std::size_t entryMiddleBytes = 6;
// A side of 0 in a directory entry stands for 256 or more.
constexpr int largestStatedSide = 256;

std::expected<ICOImage, ICOError> imageOf(const QByteArray& image, int statedWidth, int statedHeight)
{
    if (image.startsWith(QByteArrayView("\x89PNG\r\n\x1A\n", 8))) {
        const auto header = walkPNGChunks(image);
        if (!header)
            return std::unexpected(ICOError::brokenImage);
        const QSize size = header->size;
        if ((statedWidth > 0 && size.width() > statedWidth) || (statedHeight > 0 && size.height() > statedHeight))
            return std::unexpected(ICOError::largerThanStated);
        return ICOImage{size, *header, image.size()};
    }
    // A bitmap icon stacks its colour rows and its mask rows in one height; its size is the
    // entry's, each side the header's where the entry states 0.
    const auto header = readBMPInfoHeader(image, 0);
    if (!header)
        return std::unexpected(ICOError::brokenImage);
    const QSize size(statedWidth > 0 ? statedWidth : header->width(),
                     statedHeight > 0 ? statedHeight : header->height() / 2);
    if (size.isEmpty() || size.width() > largestStatedSide || size.height() > largestStatedSide)
        return std::unexpected(ICOError::brokenImage);
    return ICOImage{size, std::nullopt, image.size()};
}

} // namespace

std::expected<QList<ICOImage>, ICOError> walkICODirectory(const QByteArray& data)
{
    if (!data.startsWith(QByteArrayView("\0\0\1\0", 4)))
        return std::unexpected(ICOError::notICO);
    ByteCursor cursor(data);
    int count = 0;
    if (!cursor.skip(4) || !cursor.readUInt16LE(count) || count == 0)
        return std::unexpected(ICOError::malformed);

    const auto dataBytes = static_cast<std::uint64_t>(data.size());
    std::uint64_t claimedBytes = directoryHeaderBytes;
    QList<ICOImage> images;
    for (int index = 0; index < count; ++index) {
        std::uint8_t width = 0;
        std::uint8_t height = 0;
        std::uint32_t bytes = 0;
        std::uint32_t offset = 0;
        if (!cursor.readByte(width) || !cursor.readByte(height) || !cursor.skip(entryMiddleBytes)
            || !cursor.readUInt32LE(bytes) || !cursor.readUInt32LE(offset))
            return std::unexpected(ICOError::malformed);
        // Images of a well-formed file do not overlap; a bound on their total keeps the walks
        // below within the size of the data, however many entries name the same bytes.
        claimedBytes += entryBytes + bytes;
        if (offset > dataBytes || bytes > dataBytes - offset || claimedBytes > dataBytes)
            return std::unexpected(ICOError::malformed);
        const auto image = imageOf(QByteArray::fromRawData(data.constData() + offset, qsizetype(bytes)), width, height);
        if (!image)
            return std::unexpected(image.error());
        images.append(*image);
    }
    return images;
}

} // namespace Lumen
