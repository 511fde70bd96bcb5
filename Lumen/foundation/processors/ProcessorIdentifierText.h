#pragma once

#include "Lumen/foundation/Geometry.h"

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QString>

namespace Lumen {

class Radius;
struct Border;

// Texts that processor identifiers are made of. Identifiers become cache keys and file names,
// so every text here is fixed and locale-independent.
namespace IdentifierText {

// "com.vantrel.Lumen.", the start of every named processor's identifier.
inline constexpr char prefix[] = "com.vantrel.Lumen.";

// The shortest decimal text that reads back to `value`, with ".0" on whole numbers ("10.0",
// "0.7"); exponent form ("1e-05", "1e+16") below 1e-4 and from 2^53 on. "nan", "inf", "-inf".
QString number(double value);

// "(" + width + ", " + height + ")", e.g. "(100.0, 50.0)".
QString size(QSizeF size);
// "(" + x + ", " + y + ")".
QString point(QPointF point);

// The colour's extended sRGB components as "(%.2f,%.2f,%.2f,%.2f)": red, green, blue, alpha.
// "(invalid)" for an invalid colour.
QString rgba(const QColor& color);

// A colour's full description: "extendedSRGB(r g b a)", each component in its shortest exact
// form, so different colours never share a text.
QString color(const QColor& color);

// "w_frac_0.5", "h_frac_0.5" or the point radius itself ("10.0").
QString radius(const Radius& radius);

// "Border(color: <color>, lineWidth: 2.0, radius: point(10.0), roundingCorners: RectCorner(rawValue: 15))".
QString border(const Border& border);

// "none", "aspectFit" or "aspectFill".
QString contentMode(ContentMode mode);

} // namespace IdentifierText
} // namespace Lumen
