#pragma once

#include "Lumen/foundation/RectCorner.h"

#include <QPainterPath>
#include <QRectF>

namespace Lumen {

// Closed outline of `rect` with rounded corners, in screen coordinates (y grows downward,
// so "top" is the smallest y). Each radius is limited to 0 ... half the shorter side (a
// negative or NaN radius gives a sharp corner). An empty or non-finite rectangle gives an
// empty path.
QPainterPath roundedRectPath(const QRectF& rect, qreal topLeftRadius, qreal topRightRadius,
                             qreal bottomLeftRadius, qreal bottomRightRadius);

// The corners in `corners` get `radius`, the others stay sharp.
QPainterPath roundedRectPath(const QRectF& rect, RectCorner corners, qreal radius);

} // namespace Lumen
