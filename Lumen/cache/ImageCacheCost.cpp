#include "Lumen/cache/ImageCacheCost.h"

#include "Lumen/foundation/imaging/GIFAnimatedImage.h"

#include <cmath>
#include <limits>

namespace Lumen {

namespace {

std::int64_t saturated(double value)
{
    constexpr double largest = static_cast<double>(std::numeric_limits<std::int64_t>::max());
    if (!(value > 0.0))
        return 0;
    return value >= largest ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(value);
}

} // namespace

std::int64_t cacheCost(const ImagePtr& image)
{
    if (!image)
        return 0;
    const QSize pixels = image->pixelSize();
    const double pixelCount = std::trunc(static_cast<double>(pixels.width()) * static_cast<double>(pixels.height()));
    if (!image->hasBitmap())
        return saturated(pixelCount * 4.0);

    const double bytesPerPixel = static_cast<double>(image->bitmap().depth() / 8);
    double cost = pixelCount * bytesPerPixel;
    if (const auto frames = image->images()) {
        // Each frame's own records count too, or thousands of one-pixel frames would cost
        // next to nothing against the cache's limit while holding hundreds of megabytes.
        const auto frameCount = static_cast<double>(frames->size());
        cost = frameCount * (cost + static_cast<double>(GIFAnimatedImage::frameOverheadBytes));
    }
    return saturated(cost);
}

} // namespace Lumen
