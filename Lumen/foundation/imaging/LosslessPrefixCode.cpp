#include "Lumen/foundation/imaging/LosslessPrefixCode.h"

#include <algorithm>

namespace Lumen {

namespace {

// The order in which the lengths of the code-length code are given.
constexpr int codeLengthOrder[] = {17, 18, 0, 1, 2, 3, 4, 5, 16, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr int codeLengthCodes = 19;
// Lengths 0 to 15 are given as they are; 16 repeats the last length given, 17 and 18 give
// runs of zeros.
constexpr int literalLengths = 16;
constexpr int repeatExtraBits[] = {2, 3, 7};
constexpr int repeatOffsets[] = {3, 3, 11};
constexpr std::uint8_t defaultLength = 8;

std::uint32_t reversed(std::uint32_t code, int length)
{
    std::uint32_t result = 0;
    for (int bit = 0; bit < length; ++bit)
        result |= ((code >> bit) & 1) << (length - 1 - bit);
    return result;
}

} // namespace

std::optional<LosslessPrefixCode> LosslessPrefixCode::read(LosslessBitReader& bits, int alphabetSize)
{
    std::vector<std::uint8_t> lengths(std::size_t(alphabetSize), 0);
    const bool simple = bits.read(1) != 0;
    if (simple) {
        const int symbolCount = int(bits.read(1)) + 1;
        const int firstSymbolBits = bits.read(1) != 0 ? 8 : 1;
        // A symbol beyond the alphabet gives no length, as the decoder keeps only the alphabet's.
        const auto give = [&](std::uint32_t symbol) {
            if (symbol < std::uint32_t(alphabetSize))
                lengths[symbol] = 1;
        };
        give(bits.read(firstSymbolBits));
        if (symbolCount == 2)
            give(bits.read(8));
    } else {
        std::vector<std::uint8_t> codeLengthLengths(codeLengthCodes, 0);
        const int given = int(bits.read(4)) + 4;
        for (int index = 0; index < given; ++index)
            codeLengthLengths[std::size_t(codeLengthOrder[index])] = std::uint8_t(bits.read(3));
        const auto lengthCode = fromLengths(codeLengthLengths);
        if (!lengthCode || !readLengths(bits, *lengthCode, lengths))
            return std::nullopt;
    }
    if (bits.overrun())
        return std::nullopt;
    return fromLengths(lengths);
}

bool LosslessPrefixCode::readLengths(LosslessBitReader& bits, const LosslessPrefixCode& lengthCode,
                                     std::vector<std::uint8_t>& lengths)
{
    const auto symbolCount = lengths.size();
    std::size_t toRead = symbolCount;
    if (bits.read(1) != 0) {
        const int lengthBits = 2 + 2 * int(bits.read(3));
        toRead = 2 + bits.read(lengthBits);
        if (toRead > symbolCount)
            return false;
    }
    std::uint8_t previous = defaultLength;
    for (std::size_t symbol = 0; symbol < symbolCount && toRead > 0; --toRead) {
        const int length = lengthCode.decode(bits);
        if (length < literalLengths) {
            lengths[symbol++] = std::uint8_t(length);
            if (length != 0)
                previous = std::uint8_t(length);
            continue;
        }
        const int slot = length - literalLengths;
        const std::size_t repeat = bits.read(repeatExtraBits[slot]) + std::size_t(repeatOffsets[slot]);
        if (symbol + repeat > symbolCount)
            return false;
        std::fill_n(lengths.begin() + std::ptrdiff_t(symbol), repeat, slot == 0 ? previous : std::uint8_t(0));
        symbol += repeat;
    }
    return true;
}

std::optional<LosslessPrefixCode> LosslessPrefixCode::fromLengths(const std::vector<std::uint8_t>& lengths)
{
    LosslessPrefixCode code;
    for (const std::uint8_t length : lengths)
        ++code.m_counts[length];
    const int used = int(lengths.size()) - code.m_counts[0];
    if (used == 0)
        return std::nullopt;
    std::array<int, maxLength + 2> firstIndex{};
    for (int length = 1; length <= maxLength; ++length)
        firstIndex[std::size_t(length) + 1] = firstIndex[std::size_t(length)] + code.m_counts[std::size_t(length)];
    code.m_symbols.resize(std::size_t(used));
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        if (lengths[symbol] != 0)
            code.m_symbols[std::size_t(firstIndex[lengths[symbol]]++)] = std::uint16_t(symbol);
    }
    if (used == 1) {
        code.m_single = true;
        return code;
    }
    // A complete code leaves no word of any length unused, and none used twice.
    std::int64_t open = 1;
    for (int length = 1; length <= maxLength; ++length) {
        open = open * 2 - code.m_counts[std::size_t(length)];
        if (open < 0)
            return std::nullopt;
    }
    if (open != 0)
        return std::nullopt;
    // Words are given in canonical order; those of up to `rootBits` bits are found at once by
    // the bits that come next, first bit lowest.
    std::uint32_t word = 0;
    std::size_t index = 0;
    for (int length = 1; length <= maxLength; ++length, word <<= 1) {
        for (int count = 0; count < code.m_counts[std::size_t(length)]; ++count, ++word, ++index) {
            if (length > rootBits)
                continue;
            const RootEntry entry{code.m_symbols[index], std::uint8_t(length)};
            for (std::uint32_t slot = reversed(word, length); slot < code.m_root.size(); slot += 1u << length)
                code.m_root[slot] = entry;
        }
    }
    return code;
}

int LosslessPrefixCode::decode(LosslessBitReader& bits) const
{
    if (m_single)
        return m_symbols.front();
    const RootEntry& entry = m_root[bits.peek(rootBits)];
    if (entry.length == 0)
        return decodeLong(bits);
    bits.skip(entry.length);
    return entry.symbol;
}

int LosslessPrefixCode::decodeLong(LosslessBitReader& bits) const
{
    // Canonical decoding: the words of each length follow on from those of the length before.
    std::int64_t word = 0;
    std::int64_t first = 0;
    std::int64_t index = 0;
    for (int length = 1; length <= maxLength; ++length) {
        word |= bits.read(1);
        const int count = m_counts[std::size_t(length)];
        if (word - first < count)
            return m_symbols[std::size_t(index + word - first)];
        index += count;
        first = (first + count) << 1;
        word <<= 1;
    }
    // A complete code always ends within the longest length.
    return m_symbols.back();
}

} // namespace Lumen
