#pragma once

#include <initializer_list>

namespace Lumen {

// A set of rectangle corners, named as the user sees them on screen.
class RectCorner {
public:
    static const RectCorner topLeft;
    static const RectCorner topRight;
    static const RectCorner bottomLeft;
    static const RectCorner bottomRight;
    static const RectCorner all;

    constexpr RectCorner() = default;
    constexpr explicit RectCorner(int rawValue) : m_rawValue(rawValue) {}
    constexpr RectCorner(std::initializer_list<RectCorner> members)
    {
        for (RectCorner member : members)
            m_rawValue |= member.m_rawValue;
    }

    constexpr int rawValue() const { return m_rawValue; }
    constexpr bool isEmpty() const { return m_rawValue == 0; }
    constexpr bool contains(RectCorner other) const { return (m_rawValue & other.m_rawValue) == other.m_rawValue; }

    constexpr RectCorner operator|(RectCorner other) const { return RectCorner(m_rawValue | other.m_rawValue); }
    constexpr RectCorner operator&(RectCorner other) const { return RectCorner(m_rawValue & other.m_rawValue); }
    constexpr RectCorner operator^(RectCorner other) const { return RectCorner(m_rawValue ^ other.m_rawValue); }
    // The members of this set that are not in `other`.
    constexpr RectCorner operator-(RectCorner other) const { return RectCorner(m_rawValue & ~other.m_rawValue); }
    constexpr RectCorner& operator|=(RectCorner other) { return *this = *this | other; }
    constexpr RectCorner& operator&=(RectCorner other) { return *this = *this & other; }
    constexpr RectCorner& operator^=(RectCorner other) { return *this = *this ^ other; }
    constexpr RectCorner& operator-=(RectCorner other) { return *this = *this - other; }

    constexpr bool operator==(const RectCorner&) const = default;

private:
    int m_rawValue = 0;
};

inline constexpr RectCorner RectCorner::topLeft(1);
inline constexpr RectCorner RectCorner::topRight(2);
inline constexpr RectCorner RectCorner::bottomLeft(4);
inline constexpr RectCorner RectCorner::bottomRight(8);
inline constexpr RectCorner RectCorner::all(15);

} // namespace Lumen
