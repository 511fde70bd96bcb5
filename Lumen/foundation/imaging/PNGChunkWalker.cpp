#include "Lumen/foundation/imaging/PNGChunkWalker.h"

#include "Lumen/foundation/imaging/ByteCursor.h"
#include "Lumen/foundation/imaging/ImageFormat.h"

namespace Lumen {

namespace {

constexpr std::size_t signatureBytes = 8;
constexpr std::size_t checksumBytes = 4;
// Chunk lengths and image sides are 31-bit numbers.
constexpr std::uint32_t maxChunkLength = 0x7FFFFFFF;
constexpr std::uint32_t maxSide = 0x7FFFFFFF;
constexpr std::uint32_t headerChunkType = 0x49484452; // "IHDR"
constexpr std::uint32_t headerLength = 13;
constexpr std::uint32_t endChunkType = 0x49454E44; // "IEND"
// Bit 5 of a chunk type's first letter (lower case) marks a chunk a decoder may ignore.
constexpr std::uint32_t ancillaryBit = 0x20000000;

} // namespace

std::expected<PNGHeader, PNGChunkError> walkPNGChunks(const QByteArray& data)
{
    if (imageFormat(data) != ImageFormat::PNG)
        return std::unexpected(PNGChunkError::notPNG);

    ByteCursor cursor(data);
    cursor.skip(signatureBytes);
    QSize size;
    std::uint8_t bitDepth = 0;
    while (cursor.remaining() > 0) {
        std::uint32_t length = 0;
        std::uint32_t type = 0;
        if (!cursor.readUInt32BE(length) || !cursor.readUInt32BE(type) || length > maxChunkLength
            || cursor.remaining() < std::size_t(length) + checksumBytes)
            return std::unexpected(PNGChunkError::chunkBeyondData);
        if (size.isEmpty()) {
            std::uint32_t width = 0;
            std::uint32_t height = 0;
            if (type != headerChunkType || length != headerLength)
                return std::unexpected(PNGChunkError::badHeader);
            cursor.readUInt32BE(width);
            cursor.readUInt32BE(height);
            cursor.readByte(bitDepth);
            if (width == 0 || height == 0 || width > maxSide || height > maxSide)
                return std::unexpected(PNGChunkError::badHeader);
            size = QSize(int(width), int(height));
            length -= 9;
        }
        cursor.skip(std::size_t(length) + checksumBytes);
        if ((type & ancillaryBit) && length > maxAncillaryPNGChunkBytes)
            return std::unexpected(PNGChunkError::oversizedAncillaryChunk);
        if (type == endChunkType)
            break;
    }
    // PNG data holds more than its signature, so the header was read.
    return PNGHeader{size, bitDepth};
}

} // namespace Lumen
