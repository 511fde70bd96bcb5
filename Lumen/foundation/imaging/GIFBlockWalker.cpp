#include "Lumen/foundation/imaging/GIFBlockWalker.h"

#include <cstdint>
#include <utility>

namespace Lumen {

namespace {

constexpr std::uint8_t extensionIntroducer = 0x21;
constexpr std::uint8_t imageSeparator = 0x2C;
constexpr std::uint8_t trailer = 0x3B;
constexpr std::uint8_t graphicControlLabel = 0xF9;
constexpr std::uint8_t colorTableFlag = 0x80;

// A bounds-checked cursor over the bytes: every read answers whether the bytes were there.
class ByteCursor {
public:
    explicit ByteCursor(const QByteArray& data)
        : m_bytes(reinterpret_cast<const std::uint8_t*>(data.constData()))
        , m_size(static_cast<std::size_t>(data.size()))
    {
    }

    bool readByte(std::uint8_t& value)
    {
        if (m_position >= m_size)
            return false;
        value = m_bytes[m_position++];
        return true;
    }

    bool readUInt16(int& value)
    {
        if (m_size - m_position < 2)
            return false;
        value = m_bytes[m_position] | (m_bytes[m_position + 1] << 8);
        m_position += 2;
        return true;
    }

    bool skip(std::size_t count)
    {
        if (count > m_size - m_position)
            return false;
        m_position += count;
        return true;
    }

    // Skips data sub-blocks up to and including the zero-length terminator.
    bool skipSubBlocks()
    {
        std::uint8_t length = 0;
        while (readByte(length)) {
            if (length == 0)
                return true;
            if (!skip(length))
                return false;
        }
        return false;
    }

private:
    const std::uint8_t* m_bytes;
    std::size_t m_size;
    std::size_t m_position = 0;
};

std::size_t colorTableBytes(std::uint8_t packed)
{
    return (packed & colorTableFlag) ? 3u * (2u << (packed & 0x07)) : 0u;
}

// Reads a graphic control extension after its label; answers the delay in seconds when the
// block is well formed. The cursor always ends after the block's terminator.
std::optional<double> readGraphicControl(ByteCursor& cursor, bool& ok)
{
    std::uint8_t blockSize = 0;
    std::uint8_t packed = 0;
    int delay = 0;
    std::optional<double> result;
    if (cursor.readByte(blockSize) && blockSize >= 4 && cursor.readByte(packed) && cursor.readUInt16(delay)
        && cursor.skip(blockSize - 3u)) {
        result = delay / 100.0;
        ok = cursor.skipSubBlocks();
        return result;
    }
    ok = false;
    return std::nullopt;
}

} // namespace

std::expected<GIFStructure, GIFStructureError> walkGIFBlocks(const QByteArray& data)
{
    if (!data.startsWith("GIF87a") && !data.startsWith("GIF89a"))
        return std::unexpected(GIFStructureError::notGIF);

    ByteCursor cursor(data);
    int screenWidth = 0;
    int screenHeight = 0;
    std::uint8_t packed = 0;
    if (!cursor.skip(6) || !cursor.readUInt16(screenWidth) || !cursor.readUInt16(screenHeight)
        || !cursor.readByte(packed) || !cursor.skip(2) || !cursor.skip(colorTableBytes(packed)))
        return std::unexpected(GIFStructureError::truncatedHeader);

    GIFStructure structure;
    QRect canvas(0, 0, screenWidth, screenHeight);
    std::optional<double> pendingDelay;

    std::uint8_t introducer = 0;
    while (cursor.readByte(introducer)) {
        if (introducer == trailer)
            break;

        if (introducer == extensionIntroducer) {
            std::uint8_t label = 0;
            bool ok = false;
            if (!cursor.readByte(label))
                break;
            if (label == graphicControlLabel)
                pendingDelay = readGraphicControl(cursor, ok);
            else
                ok = cursor.skipSubBlocks();
            if (!ok)
                break;
            continue;
        }

        if (introducer != imageSeparator)
            break;

        GIFFrameInfo frame;
        int left = 0, top = 0, width = 0, height = 0;
        std::uint8_t imagePacked = 0;
        std::uint8_t minimumCodeSize = 0;
        if (!cursor.readUInt16(left) || !cursor.readUInt16(top) || !cursor.readUInt16(width)
            || !cursor.readUInt16(height) || !cursor.readByte(imagePacked))
            break;
        frame.rect = QRect(left, top, width, height);
        frame.delayTime = std::exchange(pendingDelay, std::nullopt);
        frame.complete = cursor.skip(colorTableBytes(imagePacked)) && cursor.readByte(minimumCodeSize)
                         && cursor.skipSubBlocks();
        canvas = canvas.united(frame.rect);
        structure.frames.append(frame);
        if (!frame.complete)
            break;
    }

    structure.canvasSize = canvas.size();
    return structure;
}

} // namespace Lumen
