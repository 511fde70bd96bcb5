#include "Lumen/views/ImageScaling.h"

#include "Lumen/foundation/Geometry.h"

namespace Lumen {

QRectF imageScalingRect(QSizeF imageSize, const QRectF& bounds, ImageScaling scaling)
{
    QSizeF drawnSize = imageSize;
    switch (scaling) {
    case ImageScaling::scaleAxesIndependently:
        return bounds;
    case ImageScaling::scaleNone:
        break;
    case ImageScaling::scaleProportionallyDown:
        if (imageSize.width() > bounds.width() || imageSize.height() > bounds.height())
            drawnSize = constrainedSize(imageSize, bounds.size());
        break;
    case ImageScaling::scaleProportionallyUpOrDown:
        drawnSize = constrainedSize(imageSize, bounds.size());
        break;
    }
    QRectF rect(QPointF(), drawnSize);
    rect.moveCenter(bounds.center());
    return rect;
}

} // namespace Lumen
