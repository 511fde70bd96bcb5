#pragma once

#include "Lumen/foundation/RectCorner.h"

#include <QColor>
#include <QSizeF>

namespace Lumen {

// How large a rounded corner is: a fraction of the width or height of what is rounded, or
// a fixed number of pixels.
class Radius {
public:
    enum class Kind { widthFraction, heightFraction, point };

    static constexpr Radius widthFraction(double fraction) { return Radius(Kind::widthFraction, fraction); }
    static constexpr Radius heightFraction(double fraction) { return Radius(Kind::heightFraction, fraction); }
    static constexpr Radius point(double radius) { return Radius(Kind::point, radius); }

    constexpr Kind kind() const { return m_kind; }
    // The fraction, or the point radius.
    constexpr double parameter() const { return m_parameter; }

    // The radius in pixels for a rectangle of `size`.
    constexpr double value(QSizeF size) const
    {
        switch (m_kind) {
        case Kind::widthFraction:
            return m_parameter * size.width();
        case Kind::heightFraction:
            return m_parameter * size.height();
        case Kind::point:
            return m_parameter;
        }
        return m_parameter;
    }

    constexpr bool operator==(const Radius&) const = default;

private:
    constexpr Radius(Kind kind, double parameter) : m_kind(kind), m_parameter(parameter) {}

    Kind m_kind;
    double m_parameter;
};

// A line drawn inside an image's edge, with rounded corners.
struct Border {
    Border(QColor color, double lineWidth, Radius radius, RectCorner roundingCorners)
        : color(color), lineWidth(lineWidth), radius(radius), roundingCorners(roundingCorners)
    {
    }

    QColor color;
    double lineWidth;
    Radius radius;
    RectCorner roundingCorners;

    bool operator==(const Border&) const = default;
};

} // namespace Lumen
