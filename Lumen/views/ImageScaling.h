#pragma once

#include <QRectF>
#include <QSizeF>

namespace Lumen {

// How an image view fits its image into its bounds.
enum class ImageScaling {
    // Fitted (keeping its aspect) only when larger than the bounds, otherwise at its own size.
    scaleProportionallyDown,
    // Stretched to the bounds.
    scaleAxesIndependently,
    // At its own size.
    scaleNone,
    // Fitted, keeping its aspect, whether larger or smaller.
    scaleProportionallyUpOrDown,
};

// Where an image of `imageSize` is drawn inside `bounds`; centred unless stretched.
QRectF imageScalingRect(QSizeF imageSize, const QRectF& bounds, ImageScaling scaling);

} // namespace Lumen
