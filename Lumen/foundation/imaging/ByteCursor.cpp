#include "Lumen/foundation/imaging/ByteCursor.h"

namespace Lumen {

ByteCursor::ByteCursor(const QByteArray& data)
    : m_bytes(reinterpret_cast<const std::uint8_t*>(data.constData()))
    , m_size(static_cast<std::size_t>(data.size()))
{
}

bool ByteCursor::readByte(std::uint8_t& value)
{
    if (remaining() < 1)
        return false;
    value = m_bytes[m_position++];
    return true;
}

bool ByteCursor::readUInt16LE(int& value)
{
    if (remaining() < 2)
        return false;
    value = m_bytes[m_position] | (m_bytes[m_position + 1] << 8);
    m_position += 2;
    return true;
}

bool ByteCursor::readUInt16BE(int& value)
{
    if (remaining() < 2)
        return false;
    value = (m_bytes[m_position] << 8) | m_bytes[m_position + 1];
    m_position += 2;
    return true;
}

bool ByteCursor::readUInt24LE(std::uint32_t& value)
{
    if (remaining() < 3)
        return false;
    value = std::uint32_t(m_bytes[m_position]) | (std::uint32_t(m_bytes[m_position + 1]) << 8)
            | (std::uint32_t(m_bytes[m_position + 2]) << 16);
    m_position += 3;
    return true;
}

bool ByteCursor::readUInt32LE(std::uint32_t& value)
{
    if (remaining() < 4)
        return false;
    value = std::uint32_t(m_bytes[m_position]) | (std::uint32_t(m_bytes[m_position + 1]) << 8)
            | (std::uint32_t(m_bytes[m_position + 2]) << 16) | (std::uint32_t(m_bytes[m_position + 3]) << 24);
    m_position += 4;
    return true;
}

bool ByteCursor::readUInt32BE(std::uint32_t& value)
{
    if (remaining() < 4)
        return false;
    value = (std::uint32_t(m_bytes[m_position]) << 24) | (std::uint32_t(m_bytes[m_position + 1]) << 16)
            | (std::uint32_t(m_bytes[m_position + 2]) << 8) | std::uint32_t(m_bytes[m_position + 3]);
    m_position += 4;
    return true;
}

bool ByteCursor::skip(std::size_t count)
{
    if (count > remaining())
        return false;
    m_position += count;
    return true;
}

bool ByteCursor::seek(std::size_t position)
{
    if (position > m_size)
        return false;
    m_position = position;
    return true;
}

} // namespace Lumen
