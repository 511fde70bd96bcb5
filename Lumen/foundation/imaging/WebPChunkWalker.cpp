#include "Lumen/foundation/imaging/WebPChunkWalker.h"

#include "Lumen/foundation/imaging/ByteCursor.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace Lumen {

namespace {

constexpr std::uint32_t fourCC(const char (&text)[5])
{
    return std::uint32_t(std::uint8_t(text[0])) | std::uint32_t(std::uint8_t(text[1])) << 8
           | std::uint32_t(std::uint8_t(text[2])) << 16 | std::uint32_t(std::uint8_t(text[3])) << 24;
}

constexpr std::uint32_t lossyChunk = fourCC("VP8 ");
constexpr std::uint32_t losslessChunk = fourCC("VP8L");
constexpr std::uint32_t extendedChunk = fourCC("VP8X");
constexpr std::uint32_t alphaChunk = fourCC("ALPH");
constexpr std::uint32_t frameChunk = fourCC("ANMF");
constexpr std::size_t riffHeaderBytes = 12;
constexpr std::uint8_t animationFlag = 0x02;
constexpr std::uint8_t alphaFlag = 0x10;
constexpr std::size_t extendedHeaderBytes = 10;
constexpr std::size_t frameHeaderBytes = 16;
constexpr std::uint8_t losslessSignature = 0x2F;

struct Chunk {
    std::uint32_t type = 0;
    std::size_t start = 0;
    std::size_t size = 0;
};

// The next chunk before `end`, the cursor left after it. Chunks are padded to an even size;
// the padding of the last one may be missing.
bool nextChunk(ByteCursor& cursor, std::size_t end, Chunk& chunk)
{
    std::uint32_t size = 0;
    if (end - cursor.position() < 8 || !cursor.readUInt32LE(chunk.type) || !cursor.readUInt32LE(size)
        || size > end - cursor.position())
        return false;
    chunk.start = cursor.position();
    chunk.size = size;
    cursor.seek(std::min(end, chunk.start + size + (size & 1)));
    return true;
}

WebPPayload payloadOf(const Chunk& chunk)
{
    return WebPPayload{qsizetype(chunk.start), qsizetype(chunk.size)};
}

// The picture size a VP8 or VP8L bitstream states, checked as libwebp checks it.
std::optional<WebPImage> bitstreamImage(const QByteArray& data, const Chunk& chunk)
{
    ByteCursor cursor(data);
    cursor.seek(chunk.start);
    if (chunk.type == losslessChunk) {
        std::uint8_t signature = 0;
        std::uint32_t bits = 0;
        if (chunk.size < 5 || !cursor.readByte(signature) || signature != losslessSignature
            || !cursor.readUInt32LE(bits) || (bits >> 29) != 0)
            return std::nullopt;
        return WebPImage{QRect(0, 0, int(bits & 0x3FFF) + 1, int((bits >> 14) & 0x3FFF) + 1), true,
                         payloadOf(chunk), {}};
    }
    std::uint32_t tag = 0;
    std::uint8_t start[3] = {};
    int width = 0;
    int height = 0;
    if (chunk.size < 10 || !cursor.readUInt24LE(tag) || !cursor.readByte(start[0]) || !cursor.readByte(start[1])
        || !cursor.readByte(start[2]) || !cursor.readUInt16LE(width) || !cursor.readUInt16LE(height))
        return std::nullopt;
    const bool keyFrame = (tag & 1) == 0;
    const bool shown = ((tag >> 4) & 1) != 0;
    const bool knownProfile = ((tag >> 1) & 7) <= 3;
    const bool partitionInside = (tag >> 5) < chunk.size;
    if (!keyFrame || !shown || !knownProfile || !partitionInside || start[0] != 0x9D || start[1] != 0x01
        || start[2] != 0x2A)
        return std::nullopt;
    width &= 0x3FFF;
    height &= 0x3FFF;
    if (width == 0 || height == 0)
        return std::nullopt;
    return WebPImage{QRect(0, 0, width, height), false, payloadOf(chunk), {}};
}

bool isBitstream(std::uint32_t type)
{
    return type == lossyChunk || type == losslessChunk;
}

// A frame of an animation: its offset on the canvas, then its own alpha and bitstream chunks.
std::optional<WebPImage> frameImage(const QByteArray& data, const Chunk& frame)
{
    if (frame.size < frameHeaderBytes)
        return std::nullopt;
    ByteCursor cursor(data);
    cursor.seek(frame.start);
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    cursor.readUInt24LE(x);
    cursor.readUInt24LE(y);
    cursor.seek(frame.start + frameHeaderBytes);
    QList<WebPPayload> alphaPlanes;
    Chunk chunk;
    while (nextChunk(cursor, frame.start + frame.size, chunk)) {
        if (chunk.type == alphaChunk)
            alphaPlanes.append(payloadOf(chunk));
        if (!isBitstream(chunk.type))
            continue;
        auto image = bitstreamImage(data, chunk);
        if (image) {
            image->rect.moveTo(int(x * 2), int(y * 2));
            image->alphaPlanes = std::move(alphaPlanes);
        }
        return image;
    }
    return std::nullopt;
}

std::expected<WebPStructure, WebPError> extendedStructure(const QByteArray& data, ByteCursor& cursor,
                                                          const Chunk& header, std::size_t end)
{
    if (header.size < extendedHeaderBytes)
        return std::unexpected(WebPError::malformed);
    ByteCursor fields(data);
    fields.seek(header.start);
    std::uint8_t flags = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    fields.readByte(flags);
    fields.skip(3);
    fields.readUInt24LE(width);
    fields.readUInt24LE(height);

    WebPStructure structure;
    structure.canvas = QSize(int(width) + 1, int(height) + 1);
    structure.animated = (flags & animationFlag) != 0;
    const QRect canvas(QPoint(0, 0), structure.canvas);
    QList<WebPPayload> alphaPlanes;
    structure.chunkCount = 1;
    Chunk chunk;
    while (nextChunk(cursor, end, chunk)) {
        ++structure.chunkCount;
        // A still shows its first picture; what follows it is not decoded, only indexed.
        if (!structure.animated && !structure.images.isEmpty())
            continue;
        std::optional<WebPImage> image;
        if (structure.animated && chunk.type == frameChunk) {
            image = frameImage(data, chunk);
            if (!image || !canvas.contains(image->rect))
                return std::unexpected(WebPError::malformed);
        } else if (!structure.animated && chunk.type == alphaChunk) {
            // A reader indexing the file drops a still's alpha its header does not announce.
            if (flags & alphaFlag)
                alphaPlanes.append(payloadOf(chunk));
        } else if (!structure.animated && isBitstream(chunk.type)) {
            image = bitstreamImage(data, chunk);
            if (!image || image->rect != canvas)
                return std::unexpected(WebPError::malformed);
            image->alphaPlanes = std::move(alphaPlanes);
        }
        if (image)
            structure.images.append(*image);
    }
    if (structure.images.isEmpty())
        return std::unexpected(WebPError::malformed);
    return structure;
}

} // namespace

std::expected<WebPStructure, WebPError> walkWebPChunks(const QByteArray& data)
{
    if (data.size() < qsizetype(riffHeaderBytes) || !data.startsWith("RIFF") || data.mid(8, 4) != "WEBP")
        return std::unexpected(WebPError::notWebP);
    ByteCursor cursor(data);
    std::uint32_t riffBytes = 0;
    cursor.skip(4);
    cursor.readUInt32LE(riffBytes);
    cursor.skip(4);
    const std::size_t end = 8 + std::size_t(riffBytes);
    if (end < riffHeaderBytes || end > std::size_t(data.size()))
        return std::unexpected(WebPError::malformed);

    Chunk first;
    if (!nextChunk(cursor, end, first))
        return std::unexpected(WebPError::malformed);
    if (first.type == extendedChunk)
        return extendedStructure(data, cursor, first, end);
    if (!isBitstream(first.type))
        return std::unexpected(WebPError::malformed);
    const auto image = bitstreamImage(data, first);
    if (!image)
        return std::unexpected(WebPError::malformed);
    WebPStructure structure{image->rect.size(), false, {*image}, 1};
    for (Chunk chunk; nextChunk(cursor, end, chunk);)
        ++structure.chunkCount;
    return structure;
}

} // namespace Lumen
