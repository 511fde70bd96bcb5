#include "Lumen/foundation/imaging/BMPInfoHeader.h"

#include "Lumen/foundation/imaging/ByteCursor.h"

#include <array>
#include <algorithm>
#include <cstdint>
#include <limits>

namespace Lumen {

namespace {

// The OS/2 1.x core header states its sides in 16 bits; every later layout in 32.
constexpr std::uint32_t coreHeaderBytes = 12;
constexpr std::array<std::uint32_t, 6> windowsHeaderBytes{40, 52, 56, 64, 108, 124};

} // namespace

std::optional<QSize> readBMPInfoHeader(const QByteArray& data, std::size_t offset)
{
    ByteCursor cursor(data);
    std::uint32_t headerBytes = 0;
    if (!cursor.seek(offset) || !cursor.readUInt32LE(headerBytes))
        return std::nullopt;
    if (headerBytes == coreHeaderBytes) {
        int width = 0;
        int height = 0;
        if (!cursor.readUInt16LE(width) || !cursor.readUInt16LE(height) || width == 0 || height == 0)
            return std::nullopt;
        return QSize(width, height);
    }
    if (std::find(windowsHeaderBytes.begin(), windowsHeaderBytes.end(), headerBytes) == windowsHeaderBytes.end())
        return std::nullopt;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!cursor.readUInt32LE(width) || !cursor.readUInt32LE(height) || cursor.remaining() < headerBytes - 12)
        return std::nullopt;
    const auto signedWidth = static_cast<std::int32_t>(width);
    const auto signedHeight = static_cast<std::int32_t>(height);
    if (signedWidth <= 0 || signedHeight == 0 || signedHeight == std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    return QSize(signedWidth, signedHeight < 0 ? -signedHeight : signedHeight);
}

} // namespace Lumen
