#include "Lumen/foundation/imaging/TIFFDirectoryWalker.h"

#include <QtEndian>

#include <algorithm>
#include <limits>
#include <unordered_set>
#include <utility>

namespace Lumen {

namespace {

enum Tag : std::uint16_t {
    imageWidth = 256,
    imageLength = 257,
    bitsPerSample = 258,
    samplesPerPixel = 277,
    rowsPerStrip = 278,
    planarConfiguration = 284,
    tileWidth = 322,
    tileLength = 323,
};

constexpr std::uint64_t entryBytes = 12;
constexpr std::uint64_t separatePlanarConfiguration = 2;
// Only the first few values of a per-sample tag are read; libtiff refuses differing ones.
constexpr std::uint32_t perSampleValuesRead = 8;

// Numbers in the byte order the data declares.
class TIFFBytes {
public:
    TIFFBytes(const QByteArray& data, bool bigEndian) : m_data(data), m_bigEndian(bigEndian) {}

    // The unsigned number of `width` bytes (1, 2, 4 or 8) at `offset`; none beyond the data.
    std::optional<std::uint64_t> number(std::uint64_t offset, int width) const
    {
        if (offset > std::uint64_t(m_data.size()) || std::uint64_t(width) > std::uint64_t(m_data.size()) - offset)
            return std::nullopt;
        const auto* bytes = reinterpret_cast<const uchar*>(m_data.constData()) + offset;
        switch (width) {
        case 1:
            return bytes[0];
        case 2:
            return m_bigEndian ? qFromBigEndian<quint16>(bytes) : qFromLittleEndian<quint16>(bytes);
        case 4:
            return m_bigEndian ? qFromBigEndian<quint32>(bytes) : qFromLittleEndian<quint32>(bytes);
        default:
            return m_bigEndian ? qFromBigEndian<quint64>(bytes) : qFromLittleEndian<quint64>(bytes);
        }
    }

private:
    const QByteArray& m_data;
    bool m_bigEndian;
};

struct FieldType {
    int width = 0;
    bool isSigned = false;
};

// The integer field types libtiff reads these tags from; none for any other type.
std::optional<FieldType> integerType(std::uint64_t type)
{
    switch (type) {
    case 1: return FieldType{1, false}; // BYTE
    case 3: return FieldType{2, false}; // SHORT
    case 4: return FieldType{4, false}; // LONG
    case 6: return FieldType{1, true}; // SBYTE
    case 8: return FieldType{2, true}; // SSHORT
    case 9: return FieldType{4, true}; // SLONG
    case 13: return FieldType{4, false}; // IFD
    case 16: return FieldType{8, false}; // LONG8
    case 17: return FieldType{8, true}; // SLONG8
    case 18: return FieldType{8, false}; // IFD8
    default: return std::nullopt;
    }
}

// The largest of the first values of the entry at `entry`: values that fit in four bytes
// are held in the entry, others where it points. None for a value that cannot be read, is
// not an integer or is negative.
std::optional<std::uint64_t> largestValue(const TIFFBytes& bytes, std::uint64_t entry)
{
    const auto type = bytes.number(entry + 2, 2);
    const auto count = bytes.number(entry + 4, 4);
    const auto field = type ? integerType(*type) : std::nullopt;
    if (!field || !count || *count == 0)
        return std::nullopt;
    std::uint64_t at = entry + 8;
    if (*count * std::uint64_t(field->width) > 4) {
        const auto pointer = bytes.number(entry + 8, 4);
        if (!pointer)
            return std::nullopt;
        at = *pointer;
    }
    std::uint64_t largest = 0;
    for (std::uint64_t index = 0; index < std::min<std::uint64_t>(*count, perSampleValuesRead); ++index) {
        const auto value = bytes.number(at + index * std::uint64_t(field->width), field->width);
        if (!value)
            return std::nullopt;
        const std::uint64_t signBit = std::uint64_t(1) << (8 * field->width - 1);
        if (field->isSigned && (*value & signBit))
            return std::nullopt;
        largest = std::max(largest, *value);
    }
    return largest;
}

// Sides and counts beyond an int are beyond every limit of the library; they are held at
// the largest int so that the limits refuse them.
int clampedToInt(std::uint64_t value)
{
    return int(std::min<std::uint64_t>(value, std::uint64_t(std::numeric_limits<int>::max())));
}

// The page whose directory starts at `offset`, and the offset of the next one (0 for none).
// Directories of well-formed data do not overlap, so all of them together hold no more
// entries than the data has room for: `entriesLeft` keeps the walk within that.
std::optional<std::pair<TIFFPage, std::uint64_t>> readPage(const TIFFBytes& bytes, std::uint64_t offset,
                                                           std::uint64_t& entriesLeft)
{
    const auto count = bytes.number(offset, 2);
    if (!count || *count > entriesLeft)
        return std::nullopt;
    entriesLeft -= *count;
    std::uint64_t values[tileLength + 1] = {};
    bool stated[tileLength + 1] = {};
    for (std::uint64_t index = 0; index < *count; ++index) {
        const std::uint64_t entry = offset + 2 + index * entryBytes;
        const auto tag = bytes.number(entry, 2);
        if (!tag)
            return std::nullopt;
        switch (*tag) {
        case imageWidth:
        case imageLength:
        case bitsPerSample:
        case samplesPerPixel:
        case rowsPerStrip:
        case planarConfiguration:
        case tileWidth:
        case tileLength: {
            // A tag stated twice counts with the larger value.
            const auto value = largestValue(bytes, entry);
            if (!value)
                return std::nullopt;
            values[*tag] = std::max(values[*tag], *value);
            stated[*tag] = true;
            break;
        }
        default:
            break;
        }
    }
    TIFFPage page;
    page.size = QSize(clampedToInt(values[imageWidth]), clampedToInt(values[imageLength]));
    if (page.size.isEmpty())
        return std::nullopt;
    page.samplesPerPixel = stated[samplesPerPixel] ? std::max(1, clampedToInt(values[samplesPerPixel])) : 1;
    page.bitsPerSample = stated[bitsPerSample] ? std::max(1, clampedToInt(values[bitsPerSample])) : 1;
    page.separatePlanes = values[planarConfiguration] == separatePlanarConfiguration;
    if (stated[tileWidth] || stated[tileLength]) {
        page.tileSize = QSize(clampedToInt(values[tileWidth]), clampedToInt(values[tileLength]));
        if (page.tileSize->isEmpty())
            return std::nullopt;
    }
    const std::uint64_t rows = stated[rowsPerStrip] && values[rowsPerStrip] > 0 ? values[rowsPerStrip]
                                                                                : std::uint64_t(page.size.height());
    page.rowsPerStrip = std::int64_t(std::min<std::uint64_t>(rows, std::uint64_t(page.size.height())));
    const std::uint64_t next = bytes.number(offset + 2 + *count * entryBytes, 4).value_or(0);
    return std::pair(page, next);
}

} // namespace

std::expected<QList<TIFFPage>, TIFFError> walkTIFFDirectories(const QByteArray& data)
{
    const bool littleEndian = data.startsWith(QByteArrayView("II*\0", 4));
    if (!littleEndian && !data.startsWith(QByteArrayView("MM\0*", 4)))
        return std::unexpected(TIFFError::notTIFF);
    const TIFFBytes bytes(data, !littleEndian);

    QList<TIFFPage> pages;
    std::unordered_set<std::uint64_t> seen;
    std::uint64_t entriesLeft = std::uint64_t(data.size()) / entryBytes;
    std::uint64_t offset = bytes.number(4, 4).value_or(0);
    while (offset != 0 && pages.size() < maxTIFFPages && !seen.contains(offset)) {
        const auto page = readPage(bytes, offset, entriesLeft);
        if (!page)
            break;
        seen.insert(offset);
        pages.append(page->first);
        offset = page->second;
    }
    if (pages.isEmpty())
        return std::unexpected(TIFFError::malformed);
    return pages;
}

} // namespace Lumen
