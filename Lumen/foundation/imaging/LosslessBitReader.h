#pragma once

#include <QByteArrayView>

#include <cstdint>

namespace Lumen {

// The bits of a lossless WebP stream, each value read from its lowest bit up. Reads past the
// end give zeros and mark the reader overrun, as the decoder's own reader does; nothing past
// the end is ever touched.
class LosslessBitReader {
public:
    explicit LosslessBitReader(QByteArrayView bytes) : m_bytes(bytes) {}

    // The next `count` bits (at most 24) without consuming them.
    std::uint32_t peek(int count)
    {
        fill();
        return std::uint32_t(m_window & ((std::uint64_t(1) << count) - 1));
    }
    void skip(int count)
    {
        fill();
        m_window >>= count;
        m_windowBits -= count;
        m_consumed += count;
    }
    std::uint32_t read(int count)
    {
        const std::uint32_t value = peek(count);
        skip(count);
        return value;
    }
    // Whether more bits were read than the stream holds.
    bool overrun() const { return m_consumed > std::int64_t(m_bytes.size()) * 8; }

private:
    // Keeps at least 32 bits in the window, zeros past the end.
    void fill()
    {
        while (m_windowBits <= 56) {
            const std::uint64_t byte = m_next < m_bytes.size() ? std::uint8_t(m_bytes[m_next]) : 0;
            m_window |= byte << m_windowBits;
            m_windowBits += 8;
            ++m_next;
        }
    }

    QByteArrayView m_bytes;
    qsizetype m_next = 0;
    std::uint64_t m_window = 0;
    int m_windowBits = 0;
    std::int64_t m_consumed = 0;
};

} // namespace Lumen
