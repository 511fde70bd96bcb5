#include "Lumen/foundation/Geometry.h"

#include "Lumen/foundation/LumenWrapper.h"

#include <algorithm>
#include <cmath>

namespace Lumen {

namespace {

bool isFinite(QSizeF size)
{
    return std::isfinite(size.width()) && std::isfinite(size.height());
}

double aspectRatio(QSizeF size)
{
    if (size.height() == 0.0)
        return 1.0;
    return size.width() / size.height();
}

QSizeF finiteOrEmpty(QSizeF size)
{
    return isFinite(size) ? size : QSizeF(0, 0);
}

// Shared by fit and fill: they differ only in whether the width-led size must shrink
// (fit) or grow (fill) to honour the target width.
QSizeF aspectSize(QSizeF size, QSizeF target, bool fill)
{
    if (!isFinite(size) || !isFinite(target))
        return QSizeF(0, 0);

    const double aspect = aspectRatio(size);
    const double width = std::round(aspect * target.height());
    const bool widthLed = fill ? width < target.width() : width > target.width();
    if (widthLed)
        return finiteOrEmpty(QSizeF(target.width(), std::round(target.width() / aspect)));
    return finiteOrEmpty(QSizeF(width, target.height()));
}

double clampedAnchor(double value)
{
    if (std::isnan(value))
        return 0.0;
    return std::clamp(value, 0.0, 1.0);
}

} // namespace

QSizeF constrainedSize(QSizeF size, QSizeF target)
{
    return aspectSize(size, target, false);
}

QSizeF fillingSize(QSizeF size, QSizeF target)
{
    return aspectSize(size, target, true);
}

QSizeF resizedSize(QSizeF size, QSizeF target, ContentMode mode)
{
    switch (mode) {
    case ContentMode::none:
        return target;
    case ContentMode::aspectFit:
        return constrainedSize(size, target);
    case ContentMode::aspectFill:
        return fillingSize(size, target);
    }
    return target;
}

QRectF constrainedRect(QSizeF size, QSizeF wanted, QPointF anchor)
{
    if (!isFinite(size) || !isFinite(wanted))
        return QRectF();

    const double ax = clampedAnchor(anchor.x());
    const double ay = clampedAnchor(anchor.y());
    const QRectF crop(ax * size.width() - ax * wanted.width(), ay * size.height() - ay * wanted.height(),
                      wanted.width(), wanted.height());
    return QRectF(QPointF(0, 0), size).intersected(crop);
}

QSizeF LumenWrapper<QSizeF>::resize(QSizeF target, ContentMode mode) const
{
    return resizedSize(base(), target, mode);
}

QSizeF LumenWrapper<QSizeF>::constrained(QSizeF target) const
{
    return constrainedSize(base(), target);
}

QSizeF LumenWrapper<QSizeF>::filling(QSizeF target) const
{
    return fillingSize(base(), target);
}

QRectF LumenWrapper<QSizeF>::constrainedRect(QSizeF wanted, QPointF anchor) const
{
    return Lumen::constrainedRect(base(), wanted, anchor);
}

} // namespace Lumen
