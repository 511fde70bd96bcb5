#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace Lumen {

// A bounds-checked cursor over encoded bytes, for walking the structure of untrusted data:
// every read answers whether the bytes were there, and nothing past the end is ever read,
// whatever a length field claims. The data must outlive the cursor.
class ByteCursor {
public:
    explicit ByteCursor(const QByteArray& data);

    bool readByte(std::uint8_t& value);
    bool readUInt16LE(int& value);
    bool readUInt16BE(int& value);
    bool readUInt24LE(std::uint32_t& value);
    bool readUInt32LE(std::uint32_t& value);
    bool readUInt32BE(std::uint32_t& value);
    bool skip(std::size_t count);
    // Moves to `position`, counted from the start of the data; past its end the cursor stays.
    bool seek(std::size_t position);

    std::size_t position() const { return m_position; }
    std::size_t remaining() const { return m_size - m_position; }

private:
    const std::uint8_t* m_bytes;
    std::size_t m_size;
    std::size_t m_position = 0;
};

} // namespace Lumen
