#include "Lumen/foundation/imaging/PNGChunkWalker.h"

#include "Lumen/foundation/imaging/ByteCursor.h"
#include "Lumen/foundation/imaging/ImageFormat.h"

namespace Lumen {

namespace {

constexpr std::size_t signatureBytes = 8;
constexpr std::size_t checksumBytes = 4;
// Chunk lengths are 31-bit numbers.
constexpr std::uint32_t maxChunkLength = 0x7FFFFFFF;
constexpr std::uint32_t endChunkType = 0x49454E44; // "IEND"
// Bit 5 of a chunk type's first letter (lower case) marks a chunk a decoder may ignore.
constexpr std::uint32_t ancillaryBit = 0x20000000;

} // namespace

std::expected<void, PNGChunkError> walkPNGChunks(const QByteArray& data)
{
    if (imageFormat(data) != ImageFormat::PNG)
        return std::unexpected(PNGChunkError::notPNG);

    ByteCursor cursor(data);
    cursor.skip(signatureBytes);
    while (cursor.remaining() > 0) {
        std::uint32_t length = 0;
        std::uint32_t type = 0;
        if (!cursor.readUInt32BE(length) || !cursor.readUInt32BE(type) || length > maxChunkLength
            || !cursor.skip(std::size_t(length) + checksumBytes))
            return std::unexpected(PNGChunkError::chunkBeyondData);
        if ((type & ancillaryBit) && length > maxAncillaryPNGChunkBytes)
            return std::unexpected(PNGChunkError::oversizedAncillaryChunk);
        if (type == endChunkType)
            break;
    }
    return {};
}

} // namespace Lumen
