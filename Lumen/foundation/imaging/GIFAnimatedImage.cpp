#include "Lumen/foundation/imaging/GIFAnimatedImage.h"

#include <algorithm>
#include <limits>

namespace Lumen {

namespace {

constexpr double defaultFrameDuration = 0.1;
constexpr double shortestHonouredDelay = 0.011;

} // namespace

std::expected<GIFAnimatedImage, GIFAnimatedImageError>
GIFAnimatedImage::decode(const ImageFrameSource& source, const ImageCreatingOptions& options, std::int64_t budgetBytes)
{
    GIFAnimatedImage result;
    const int count = source.frameCount();
    const int wanted = options.onlyFirstFrame ? std::min(count, 1) : count;
    std::int64_t usedBytes = 0;

    for (int index = 0; index < wanted; ++index) {
        QImage frame = source.frame(index);
        if (frame.isNull())
            return std::unexpected(GIFAnimatedImageError::frameUnavailable);

        const std::int64_t frameBytes = frame.sizeInBytes() + frameOverheadBytes;
        if (index == 0 && wanted > budgetBytes / frameBytes)
            return std::unexpected(GIFAnimatedImageError::overBudget);
        usedBytes += frameBytes;
        if (usedBytes > budgetBytes)
            return std::unexpected(GIFAnimatedImageError::overBudget);

        if (count == 1)
            result.duration = std::numeric_limits<double>::infinity();
        else
            result.duration += source.duration(index);
        result.images.append(Image::make(std::move(frame)));
    }
    return result;
}

double GIFAnimatedImage::frameDuration(std::optional<double> delayTime)
{
    if (!delayTime || !(*delayTime > shortestHonouredDelay))
        return defaultFrameDuration;
    return *delayTime;
}

} // namespace Lumen
