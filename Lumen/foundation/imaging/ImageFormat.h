#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>

namespace Lumen {

// The container format of encoded image bytes, told from their first bytes.
enum class ImageFormat { unknown, PNG, JPEG, GIF };

// A two-byte JPEG marker the library looks for in encoded data.
class JPEGMarker {
public:
    enum class Kind { SOF0, SOF2, DHT, DQT, DRI, SOS, APPn, COM, EOI, RSTn };

    static constexpr JPEGMarker SOF0() { return JPEGMarker(Kind::SOF0, 0); }
    static constexpr JPEGMarker SOF2() { return JPEGMarker(Kind::SOF2, 0); }
    static constexpr JPEGMarker DHT() { return JPEGMarker(Kind::DHT, 0); }
    static constexpr JPEGMarker DQT() { return JPEGMarker(Kind::DQT, 0); }
    static constexpr JPEGMarker DRI() { return JPEGMarker(Kind::DRI, 0); }
    static constexpr JPEGMarker SOS() { return JPEGMarker(Kind::SOS, 0); }
    static constexpr JPEGMarker APPn() { return JPEGMarker(Kind::APPn, 0); }
    static constexpr JPEGMarker COM() { return JPEGMarker(Kind::COM, 0); }
    static constexpr JPEGMarker EOI() { return JPEGMarker(Kind::EOI, 0); }
    // Restart markers are numbered 0 to 7 (FF D0 to FF D7); any other number names a
    // different marker and is refused.
    static constexpr std::optional<JPEGMarker> RSTn(std::uint8_t number)
    {
        if (number > 7)
            return std::nullopt;
        return JPEGMarker(Kind::RSTn, number);
    }

    constexpr Kind kind() const { return m_kind; }
    // The restart number; 0 for every other kind.
    constexpr std::uint8_t restartNumber() const { return m_restartNumber; }
    std::array<std::uint8_t, 2> bytes() const;

    bool operator==(const JPEGMarker&) const = default;

private:
    constexpr JPEGMarker(Kind kind, std::uint8_t restartNumber) : m_kind(kind), m_restartNumber(restartNumber) {}

    Kind m_kind;
    std::uint8_t m_restartNumber;
};

// Data of 8 bytes or fewer is `unknown`: a bare signature is not an image.
ImageFormat imageFormat(const QByteArray& data);

// Whether `data` is JPEG and holds the marker's two bytes anywhere (segments are not parsed,
// so a pair inside entropy-coded data counts too).
bool containsJPEGMarker(const QByteArray& data, JPEGMarker marker);

} // namespace Lumen
