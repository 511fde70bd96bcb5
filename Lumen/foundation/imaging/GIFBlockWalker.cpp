#include "Lumen/foundation/imaging/GIFBlockWalker.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/foundation/imaging/ByteCursor.h"

#include <cstdint>
#include <utility>

namespace Lumen {

namespace {

constexpr std::uint8_t extensionIntroducer = 0x21;
constexpr std::uint8_t imageSeparator = 0x2C;
constexpr std::uint8_t trailer = 0x3B;
constexpr std::uint8_t graphicControlLabel = 0xF9;
constexpr std::uint8_t applicationLabel = 0xFF;
constexpr std::uint8_t colorTableFlag = 0x80;
// Packed fields, delay (two bytes) and transparent colour index.
constexpr std::uint8_t graphicControlSize = 4;

std::size_t colorTableBytes(std::uint8_t packed)
{
    return (packed & colorTableFlag) ? 3u * (2u << (packed & 0x07)) : 0u;
}

// Skips data sub-blocks up to and including the zero-length terminator.
bool skipSubBlocks(ByteCursor& cursor)
{
    std::uint8_t length = 0;
    while (cursor.readByte(length)) {
        if (length == 0)
            return true;
        if (!cursor.skip(length))
            return false;
    }
    return false;
}

// Skips an extension whose first block is a fixed header (an application extension): its
// length byte counts as a length even when it is 0, as Qt's decoder reads it, so the
// sub-blocks and their terminator follow it in any case.
bool skipHeadedExtension(ByteCursor& cursor)
{
    std::uint8_t blockSize = 0;
    return cursor.readByte(blockSize) && cursor.skip(blockSize) && skipSubBlocks(cursor);
}

// Reads a graphic control extension after its label, up to and including its terminator
// (which follows even an empty first block, as for `skipHeadedExtension`). Answers whether the
// data held the whole extension; `delay` (seconds) is set only when the first block is long
// enough to state one.
bool readGraphicControl(ByteCursor& cursor, std::optional<double>& delay)
{
    delay.reset();
    std::uint8_t blockSize = 0;
    if (!cursor.readByte(blockSize))
        return false;
    if (blockSize >= graphicControlSize) {
        std::uint8_t packed = 0;
        int centiseconds = 0;
        if (!cursor.readByte(packed) || !cursor.readUInt16LE(centiseconds) || !cursor.skip(blockSize - 3u))
            return false;
        delay = centiseconds / 100.0;
    } else if (!cursor.skip(blockSize)) {
        return false;
    }
    return skipSubBlocks(cursor);
}

// Qt's decoder takes a side of 0 in the logical screen from the first frame's extent.
QSize decodedCanvas(int screenWidth, int screenHeight, const QList<GIFFrameInfo>& frames)
{
    if (frames.isEmpty())
        return QSize(screenWidth, screenHeight);
    const QRect first = frames.front().rect;
    return QSize(screenWidth > 0 ? screenWidth : first.left() + first.width(),
                 screenHeight > 0 ? screenHeight : first.top() + first.height());
}

} // namespace

bool GIFStructure::fitsBitmapLimits() const
{
    return frames.isEmpty() || canvasSize.isEmpty() || BitmapLimits::allows(canvasSize);
}

std::expected<GIFStructure, GIFStructureError> walkGIFBlocks(const QByteArray& data)
{
    if (!data.startsWith("GIF87a") && !data.startsWith("GIF89a"))
        return std::unexpected(GIFStructureError::notGIF);

    ByteCursor cursor(data);
    int screenWidth = 0;
    int screenHeight = 0;
    std::uint8_t packed = 0;
    if (!cursor.skip(6) || !cursor.readUInt16LE(screenWidth) || !cursor.readUInt16LE(screenHeight)
        || !cursor.readByte(packed) || !cursor.skip(2) || !cursor.skip(colorTableBytes(packed)))
        return std::unexpected(GIFStructureError::truncatedHeader);

    GIFStructure structure;
    std::optional<double> pendingDelay;

    std::uint8_t introducer = 0;
    while (cursor.readByte(introducer)) {
        if (introducer == trailer)
            break;

        if (introducer == extensionIntroducer) {
            std::uint8_t label = 0;
            if (!cursor.readByte(label))
                break;
            const bool whole = label == graphicControlLabel ? readGraphicControl(cursor, pendingDelay)
                               : label == applicationLabel ? skipHeadedExtension(cursor)
                                                           : skipSubBlocks(cursor);
            if (!whole)
                break;
            continue;
        }

        if (introducer != imageSeparator)
            break;

        GIFFrameInfo frame;
        int left = 0, top = 0, width = 0, height = 0;
        std::uint8_t imagePacked = 0;
        std::uint8_t minimumCodeSize = 0;
        if (!cursor.readUInt16LE(left) || !cursor.readUInt16LE(top) || !cursor.readUInt16LE(width)
            || !cursor.readUInt16LE(height) || !cursor.readByte(imagePacked))
            break;
        frame.rect = QRect(left, top, width, height);
        frame.delayTime = std::exchange(pendingDelay, std::nullopt);
        frame.complete = cursor.skip(colorTableBytes(imagePacked)) && cursor.readByte(minimumCodeSize)
                         && skipSubBlocks(cursor);
        structure.frames.append(frame);
        if (!frame.complete)
            break;
    }

    structure.canvasSize = decodedCanvas(screenWidth, screenHeight, structure.frames);
    return structure;
}

} // namespace Lumen
