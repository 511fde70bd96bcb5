#include "Lumen/foundation/imaging/BitmapLimits.h"

#include <QImageReader>

#include <cmath>
#include <mutex>

namespace Lumen {

bool BitmapLimits::allows(QSize pixels)
{
    if (pixels.width() <= 0 || pixels.height() <= 0)
        return false;
    if (pixels.width() > maxSide || pixels.height() > maxSide)
        return false;
    return std::int64_t(pixels.width()) * pixels.height() <= maxPixels;
}

std::optional<QSize> BitmapLimits::pixelSize(QSizeF size)
{
    const double width = size.width();
    const double height = size.height();
    if (!std::isfinite(width) || !std::isfinite(height) || width < 1.0 || height < 1.0)
        return std::nullopt;
    if (width > maxSide || height > maxSide)
        return std::nullopt;
    const QSize pixels(static_cast<int>(width), static_cast<int>(height));
    if (!allows(pixels))
        return std::nullopt;
    return pixels;
}

void BitmapLimits::applyToImageReaders()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(static_cast<int>(maxBitmapBytes / (1024 * 1024))); });
}

} // namespace Lumen
