#include "Lumen/foundation/RoundedRectPath.h"

#include <algorithm>
#include <cmath>

namespace Lumen {

namespace {

qreal limitedRadius(qreal radius, qreal limit)
{
    if (std::isnan(radius) || radius < 0)
        return 0;
    return std::min(radius, limit);
}

bool isUsable(const QRectF& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width())
           && std::isfinite(rect.height()) && !rect.isEmpty();
}

} // namespace

QPainterPath roundedRectPath(const QRectF& rect, qreal topLeftRadius, qreal topRightRadius,
                             qreal bottomLeftRadius, qreal bottomRightRadius)
{
    QPainterPath path;
    if (!isUsable(rect))
        return path;

    const qreal limit = std::min(rect.width(), rect.height()) / 2;
    const qreal topLeft = limitedRadius(topLeftRadius, limit);
    const qreal topRight = limitedRadius(topRightRadius, limit);
    const qreal bottomLeft = limitedRadius(bottomLeftRadius, limit);
    const qreal bottomRight = limitedRadius(bottomRightRadius, limit);

    const qreal left = rect.left();
    const qreal right = rect.right();
    const qreal top = rect.top();
    const qreal bottom = rect.bottom();

    // Counter-clockwise on screen from the middle of the top edge. Qt's arc angles count
    // counter-clockwise from three o'clock, so each corner sweeps +90 degrees.
    const auto corner = [&path](QPointF edgePoint, QRectF circleBounds, qreal startAngle, qreal radius) {
        path.lineTo(edgePoint);
        if (radius > 0)
            path.arcTo(circleBounds, startAngle, 90);
    };

    path.moveTo(rect.center().x(), top);
    corner({left + topLeft, top}, {left, top, 2 * topLeft, 2 * topLeft}, 90, topLeft);
    corner({left, bottom - bottomLeft}, {left, bottom - 2 * bottomLeft, 2 * bottomLeft, 2 * bottomLeft}, 180,
           bottomLeft);
    corner({right - bottomRight, bottom},
           {right - 2 * bottomRight, bottom - 2 * bottomRight, 2 * bottomRight, 2 * bottomRight}, 270, bottomRight);
    corner({right, top + topRight}, {right - 2 * topRight, top, 2 * topRight, 2 * topRight}, 0, topRight);
    path.closeSubpath();
    return path;
}

QPainterPath roundedRectPath(const QRectF& rect, RectCorner corners, qreal radius)
{
    const auto radiusFor = [&](RectCorner corner) { return corners.contains(corner) ? radius : 0; };
    return roundedRectPath(rect, radiusFor(RectCorner::topLeft), radiusFor(RectCorner::topRight),
                           radiusFor(RectCorner::bottomLeft), radiusFor(RectCorner::bottomRight));
}

} // namespace Lumen
