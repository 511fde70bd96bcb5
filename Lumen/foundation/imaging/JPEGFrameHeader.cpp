#include "Lumen/foundation/imaging/JPEGFrameHeader.h"

#include "Lumen/foundation/imaging/ByteCursor.h"

#include <algorithm>

namespace Lumen {

namespace {

constexpr std::uint8_t markerPrefix = 0xFF;
constexpr std::uint8_t startOfImage = 0xD8;
constexpr std::uint8_t endOfImage = 0xD9;
constexpr std::uint8_t startOfScan = 0xDA;
constexpr std::uint8_t temporary = 0x01;
constexpr int maxSampling = 4;
constexpr int blockSide = 8;
constexpr std::int64_t blockCoefficientBytes = 64 * 2;

bool isRestart(std::uint8_t marker)
{
    return marker >= 0xD0 && marker <= 0xD7;
}

// C0 to CF except DHT (C4), JPG (C8) and DAC (CC).
bool isStartOfFrame(std::uint8_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool isProgressiveFrame(std::uint8_t marker)
{
    return marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
}

// The next marker code: any bytes up to an FF are skipped, then fill bytes (FF); FF 00 is
// not a marker.
bool nextMarker(ByteCursor& cursor, std::uint8_t& marker)
{
    for (;;) {
        std::uint8_t byte = 0;
        do {
            if (!cursor.readByte(byte))
                return false;
        } while (byte != markerPrefix);
        do {
            if (!cursor.readByte(byte))
                return false;
        } while (byte == markerPrefix);
        if (byte != 0) {
            marker = byte;
            return true;
        }
    }
}

bool readFrame(ByteCursor& cursor, std::uint8_t marker, JPEGFrameHeader& header)
{
    int length = 0;
    std::uint8_t precision = 0;
    int height = 0;
    int width = 0;
    std::uint8_t count = 0;
    if (!cursor.readUInt16BE(length) || !cursor.readByte(precision) || !cursor.readUInt16BE(height)
        || !cursor.readUInt16BE(width) || !cursor.readByte(count))
        return false;
    if (width == 0 || height == 0 || count == 0 || length != 8 + 3 * count)
        return false;

    header.size = QSize(width, height);
    header.progressive = isProgressiveFrame(marker);
    for (int index = 0; index < count; ++index) {
        std::uint8_t identifier = 0;
        std::uint8_t sampling = 0;
        std::uint8_t table = 0;
        if (!cursor.readByte(identifier) || !cursor.readByte(sampling) || !cursor.readByte(table))
            return false;
        const JPEGFrameHeader::Component component{sampling >> 4, sampling & 0x0F};
        if (component.horizontalSampling < 1 || component.horizontalSampling > maxSampling
            || component.verticalSampling < 1 || component.verticalSampling > maxSampling)
            return false;
        header.components.push_back(component);
    }
    return true;
}

std::int64_t divideRoundingUp(std::int64_t value, std::int64_t divisor)
{
    return (value + divisor - 1) / divisor;
}

} // namespace

bool JPEGFrameHeader::buffersWholeImage() const
{
    return progressive || firstScanComponents < int(components.size());
}

std::int64_t JPEGFrameHeader::coefficientBytes() const
{
    int widest = 1;
    int tallest = 1;
    for (const Component& component : components) {
        widest = std::max(widest, component.horizontalSampling);
        tallest = std::max(tallest, component.verticalSampling);
    }
    std::int64_t bytes = 0;
    for (const Component& component : components) {
        const std::int64_t blocksWide
            = divideRoundingUp(std::int64_t(size.width()) * component.horizontalSampling, widest * blockSide);
        const std::int64_t blocksHigh
            = divideRoundingUp(std::int64_t(size.height()) * component.verticalSampling, tallest * blockSide);
        bytes += blocksWide * blocksHigh * blockCoefficientBytes;
    }
    return bytes;
}

std::optional<JPEGFrameHeader> readJPEGFrameHeader(const QByteArray& data)
{
    ByteCursor cursor(data);
    std::uint8_t prefix = 0;
    std::uint8_t marker = 0;
    if (!cursor.readByte(prefix) || !cursor.readByte(marker) || prefix != markerPrefix || marker != startOfImage)
        return std::nullopt;

    std::optional<JPEGFrameHeader> header;
    while (nextMarker(cursor, marker)) {
        if (marker == startOfImage || marker == endOfImage)
            return std::nullopt;
        if (isRestart(marker) || marker == temporary)
            continue;
        if (isStartOfFrame(marker)) {
            // libjpeg refuses a second frame header.
            if (header)
                return std::nullopt;
            header.emplace();
            if (!readFrame(cursor, marker, *header))
                return std::nullopt;
            continue;
        }
        if (marker == startOfScan) {
            std::uint8_t count = 0;
            int length = 0;
            if (!header || !cursor.readUInt16BE(length) || !cursor.readByte(count) || count == 0)
                return std::nullopt;
            header->firstScanComponents = count;
            return header;
        }
        int length = 0;
        if (!cursor.readUInt16BE(length) || length < 2 || !cursor.skip(std::size_t(length) - 2))
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace Lumen
