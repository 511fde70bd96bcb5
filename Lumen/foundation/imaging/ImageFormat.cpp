#include "Lumen/foundation/imaging/ImageFormat.h"

#include <algorithm>
#include <cstring>

namespace Lumen {

namespace {

constexpr std::array<std::uint8_t, 8> pngSignature{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::array<std::uint8_t, 3> jpegStartOfImage{0xFF, 0xD8, 0xFF};
constexpr std::array<std::uint8_t, 3> gifSignature{0x47, 0x49, 0x46};

template <std::size_t N>
bool startsWith(const std::uint8_t* header, const std::array<std::uint8_t, N>& signature)
{
    return std::equal(signature.begin(), signature.end(), header);
}

} // namespace

std::array<std::uint8_t, 2> JPEGMarker::bytes() const
{
    switch (m_kind) {
    case Kind::SOF0:
        return {0xFF, 0xC0};
    case Kind::SOF2:
        return {0xFF, 0xC2};
    case Kind::DHT:
        return {0xFF, 0xC4};
    case Kind::DQT:
        return {0xFF, 0xDB};
    case Kind::DRI:
        return {0xFF, 0xDD};
    case Kind::SOS:
        return {0xFF, 0xDA};
    case Kind::APPn:
        return {0xFF, 0xE0};
    case Kind::COM:
        return {0xFF, 0xFE};
    case Kind::EOI:
        return {0xFF, 0xD9};
    case Kind::RSTn:
        return {0xFF, static_cast<std::uint8_t>(0xD0 + m_restartNumber)};
    }
    return {0xFF, 0x00};
}

ImageFormat imageFormat(const QByteArray& data)
{
    if (data.size() <= 8)
        return ImageFormat::unknown;

    std::array<std::uint8_t, 8> header{};
    std::memcpy(header.data(), data.constData(), header.size());

    if (startsWith(header.data(), pngSignature))
        return ImageFormat::PNG;
    if (startsWith(header.data(), jpegStartOfImage))
        return ImageFormat::JPEG;
    if (startsWith(header.data(), gifSignature))
        return ImageFormat::GIF;
    return ImageFormat::unknown;
}

bool containsJPEGMarker(const QByteArray& data, JPEGMarker marker)
{
    if (imageFormat(data) != ImageFormat::JPEG)
        return false;

    const auto pair = marker.bytes();
    const auto* begin = reinterpret_cast<const std::uint8_t*>(data.constData());
    const auto* end = begin + data.size();
    return std::search(begin, end, pair.begin(), pair.end()) != end;
}

} // namespace Lumen
