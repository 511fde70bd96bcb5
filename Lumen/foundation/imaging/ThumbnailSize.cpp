#include "Lumen/foundation/imaging/ThumbnailSize.h"

#include <algorithm>
#include <cmath>

namespace Lumen {

namespace {

double usableSide(double side)
{
    return std::isfinite(side) && side > 0.0 ? side : 0.0;
}

} // namespace

std::optional<QSize> thumbnailPixelSize(QSize pixels, QSizeF maxSize)
{
    if (pixels.isEmpty())
        return std::nullopt;
    const double bound = std::floor(std::max(usableSide(maxSize.width()), usableSide(maxSize.height())));
    if (bound < 1.0)
        return std::nullopt;

    const int longer = std::max(pixels.width(), pixels.height());
    if (longer <= bound)
        return pixels;
    const double factor = bound / longer;
    const auto side = [&](int length) {
        if (length == longer)
            return static_cast<int>(bound);
        return std::max(1, static_cast<int>(std::lround(length * factor)));
    };
    return QSize(side(pixels.width()), side(pixels.height()));
}

} // namespace Lumen
