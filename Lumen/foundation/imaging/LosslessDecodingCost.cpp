#include "Lumen/foundation/imaging/LosslessDecodingCost.h"

#include "Lumen/foundation/imaging/LosslessBitReader.h"
#include "Lumen/foundation/imaging/LosslessPrefixCode.h"

#include <array>
#include <bitset>
#include <vector>

namespace Lumen {

namespace {

constexpr int literalCodes = 256;
constexpr int lengthCodes = 24;
constexpr int distanceCodes = 40;
constexpr int maxCacheBits = 11;
constexpr int transformKinds = 4;
enum Transform { predictor = 0, crossColor = 1, subtractGreen = 2, colourIndexing = 3 };

constexpr std::int64_t argbBytes = 4;
// Rows the decoder keeps beside its pixels: those it filters from, and those it has filtered.
constexpr std::int64_t cachedRows = 32;
// A decoded palette is spread over all 256 entries.
constexpr std::int64_t paletteBytes = 256 * argbBytes;
// The table of one group of five codes: a fixed part for the red, blue, alpha and distance
// codes and the green code's part, which grows with the colour cache; four bytes an entry.
// The decoder allocates them for all groups at once, and may add a second block as large as
// the first when codes fill the first to its end.
constexpr std::int64_t groupTableEntries = 630 * 3 + 410 + 654;
constexpr std::int64_t tableEntryBytes = 4;
constexpr std::int64_t tableBlocks = 2;
// The record of one group beside its table, rounded up.
constexpr std::int64_t groupRecordBytes = 640;
// With more groups named than this, or than the image has pixels, only those used are given
// tables.
constexpr std::int64_t denseGroupLimit = 1000;
// The lengths of the largest alphabet, held while each code is read.
constexpr std::int64_t codeLengthsBytes = (literalCodes + lengthCodes + (1 << maxCacheBits)) * 4;

std::int64_t groupBytes(int cacheBits)
{
    return (groupTableEntries + (cacheBits > 0 ? std::int64_t(1) << cacheBits : 0)) * tableEntryBytes * tableBlocks
           + groupRecordBytes;
}

std::int64_t cacheBytes(int cacheBits)
{
    return cacheBits > 0 ? argbBytes << cacheBits : 0;
}

int subsampled(int size, int bits)
{
    return (size + (1 << bits) - 1) >> bits;
}

// The length or distance a prefix symbol stands for, its extra bits read.
std::int64_t copyAmount(int symbol, LosslessBitReader& bits)
{
    if (symbol < 4)
        return symbol + 1;
    const int extraBits = (symbol - 2) >> 1;
    const std::int64_t offset = std::int64_t(2 + (symbol & 1)) << extraBits;
    return offset + bits.read(extraBits) + 1;
}

// The groups an entropy image names, read from its pixels' green and red.
struct NamedGroups {
    std::bitset<65536> named;
    int highest = 0;
};

using Cost = std::expected<std::int64_t, DecodingRefusal>;

class StreamReader {
public:
    StreamReader(QByteArrayView stream, QSize size, std::int64_t& workLeft)
        : m_bits(stream), m_size(size), m_workLeft(workLeft) {}

    Cost bytes()
    {
        int width = m_size.width();
        const int height = m_size.height();
        std::int64_t held = 0;
        std::array<bool, transformKinds> seen{};
        while (m_bits.read(1) != 0) {
            const auto kind = int(m_bits.read(2));
            if (seen[std::size_t(kind)])
                return std::unexpected(DecodingRefusal::malformed);
            seen[std::size_t(kind)] = true;
            if (kind == predictor || kind == crossColor) {
                const int bits = int(m_bits.read(3)) + 2;
                const QSize image(subsampled(width, bits), subsampled(height, bits));
                if (auto skipped = skipImage(image); !skipped)
                    return std::unexpected(skipped.error());
                held += argbBytes * image.width() * image.height();
            } else if (kind == colourIndexing) {
                const int colours = int(m_bits.read(8)) + 1;
                if (auto skipped = skipImage(QSize(colours, 1)); !skipped)
                    return std::unexpected(skipped.error());
                held += paletteBytes;
                const int bits = colours > 16 ? 0 : colours > 4 ? 1 : colours > 2 ? 2 : 3;
                width = subsampled(width, bits);
            }
        }
        const auto cacheBits = readCacheBits();
        if (!cacheBits)
            return std::unexpected(DecodingRefusal::malformed);
        std::int64_t groups = 1;
        if (m_bits.read(1) != 0) {
            const int bits = int(m_bits.read(3)) + 2;
            const QSize entropy(subsampled(width, bits), subsampled(height, bits));
            NamedGroups named;
            if (auto skipped = skipImage(entropy, &named); !skipped)
                return std::unexpected(skipped.error());
            const std::int64_t highest = std::int64_t(named.highest) + 1;
            const bool sparse = highest > denseGroupLimit || highest > std::int64_t(width) * height;
            groups = sparse ? std::int64_t(named.named.count()) : highest;
            held += argbBytes * entropy.width() * entropy.height() + (sparse ? argbBytes * highest : 0);
        }
        // The pixels with the rows cached beside them, as wide as the image itself.
        const std::int64_t pixels = std::int64_t(m_size.width()) * height + cachedRows * m_size.width();
        return held + argbBytes * pixels + cacheBytes(*cacheBits) + groups * groupBytes(*cacheBits)
               + m_largestSubImageBytes + codeLengthsBytes;
    }

private:
    std::optional<int> readCacheBits()
    {
        if (m_bits.read(1) == 0)
            return 0;
        const int bits = int(m_bits.read(4));
        if (bits < 1 || bits > maxCacheBits)
            return std::nullopt;
        return bits;
    }

    // Reads past an image coded with one group of codes: a transform's image, or the entropy
    // image, whose groups go to `named`. Its own codes and colour cache are held only while
    // it is decoded.
    std::expected<void, DecodingRefusal> skipImage(QSize size, NamedGroups* named = nullptr)
    {
        const auto malformed = std::unexpected(DecodingRefusal::malformed);
        const auto cacheBits = readCacheBits();
        if (!cacheBits)
            return malformed;
        const int cacheSize = *cacheBits > 0 ? 1 << *cacheBits : 0;
        // Reading a code takes time in its alphabet, however few bits it is given in.
        const std::int64_t alphabets = literalCodes + lengthCodes + cacheSize + 3 * literalCodes + distanceCodes;
        if (alphabets > m_workLeft)
            return std::unexpected(DecodingRefusal::beyondBudget);
        m_workLeft -= alphabets;
        const auto green = LosslessPrefixCode::read(m_bits, literalCodes + lengthCodes + cacheSize);
        const auto red = green ? LosslessPrefixCode::read(m_bits, literalCodes) : std::nullopt;
        const auto blue = red ? LosslessPrefixCode::read(m_bits, literalCodes) : std::nullopt;
        const auto alpha = blue ? LosslessPrefixCode::read(m_bits, literalCodes) : std::nullopt;
        const auto distance = alpha ? LosslessPrefixCode::read(m_bits, distanceCodes) : std::nullopt;
        if (!distance)
            return malformed;
        m_largestSubImageBytes = std::max(m_largestSubImageBytes, groupBytes(*cacheBits) + cacheBytes(*cacheBits));

        // Copies and cache hits repeat pixels already decoded (or, for a cache slot never
        // filled, black): only literals name new groups.
        if (named)
            named->named.set(0);
        const std::int64_t total = std::int64_t(size.width()) * size.height();
        // Literals that cost no bit at all make up the whole image at once.
        if (const auto literal = green->onlySymbol(); literal && *literal < literalCodes && red->onlySymbol()
                                                      && blue->onlySymbol() && alpha->onlySymbol()) {
            if (named)
                name(*named, *literal | *red->onlySymbol() << 8);
            return {};
        }
        if (total > m_workLeft)
            return std::unexpected(DecodingRefusal::beyondBudget);
        m_workLeft -= total;
        for (std::int64_t position = 0; position < total;) {
            const int symbol = green->decode(m_bits);
            if (symbol < literalCodes) {
                const int redValue = red->decode(m_bits);
                (void)blue->decode(m_bits);
                (void)alpha->decode(m_bits);
                if (named)
                    name(*named, symbol | redValue << 8);
                ++position;
            } else if (symbol < literalCodes + lengthCodes) {
                const std::int64_t length = copyAmount(symbol - literalCodes, m_bits);
                (void)copyAmount(distance->decode(m_bits), m_bits);
                if (length > total - position)
                    return malformed;
                position += length;
            } else {
                ++position;
            }
            if (m_bits.overrun())
                return malformed;
        }
        return {};
    }

    static void name(NamedGroups& named, int group)
    {
        named.named.set(std::size_t(group));
        named.highest = std::max(named.highest, group);
    }

    LosslessBitReader m_bits;
    QSize m_size;
    std::int64_t& m_workLeft;
    std::int64_t m_largestSubImageBytes = 0;
};

} // namespace

std::expected<std::int64_t, DecodingRefusal> losslessDecodingBytes(QByteArrayView stream, QSize size,
                                                                   std::int64_t& workLeft)
{
    return StreamReader(stream, size, workLeft).bytes();
}

} // namespace Lumen
