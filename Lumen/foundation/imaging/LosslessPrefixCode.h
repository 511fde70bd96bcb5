#pragma once

#include "Lumen/foundation/imaging/LosslessBitReader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace Lumen {

// One prefix code of a lossless WebP stream, read from the stream and checked as the decoder
// checks it: either one or two symbols given outright, or code lengths given through a code of
// their own, which together must make a complete code (a code of one symbol costs no bit).
class LosslessPrefixCode {
public:
    // Reads a code for an alphabet of `alphabetSize` symbols; none when the decoder would
    // refuse it, or when the stream breaks off inside it.
    static std::optional<LosslessPrefixCode> read(LosslessBitReader& bits, int alphabetSize);

    // The next symbol of the stream.
    int decode(LosslessBitReader& bits) const;
    // The symbol of a code of one symbol, which costs no bit to read.
    std::optional<int> onlySymbol() const
    {
        return m_single ? std::optional<int>(m_symbols.front()) : std::nullopt;
    }

private:
    static constexpr int maxLength = 15;
    static constexpr int rootBits = 8;

    struct RootEntry {
        std::uint16_t symbol = 0;
        // 0 for codes longer than the root, decoded bit by bit.
        std::uint8_t length = 0;
    };

    // A code from the length of every symbol; none unless it is complete or has one symbol.
    static std::optional<LosslessPrefixCode> fromLengths(const std::vector<std::uint8_t>& lengths);
    static bool readLengths(LosslessBitReader& bits, const LosslessPrefixCode& lengthCode, std::vector<std::uint8_t>& lengths);
    int decodeLong(LosslessBitReader& bits) const;

    // Symbols in canonical order (by length, then by value), and how many have each length.
    std::vector<std::uint16_t> m_symbols;
    std::array<int, maxLength + 1> m_counts{};
    std::array<RootEntry, 1 << rootBits> m_root{};
    bool m_single = false;
};

} // namespace Lumen
