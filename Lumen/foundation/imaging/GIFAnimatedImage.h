#pragma once

#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/ImageCreatingOptions.h"
#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/foundation/imaging/ImageFrameSource.h"

#include <QList>

#include <cstdint>
#include <expected>
#include <optional>

namespace Lumen {

enum class GIFAnimatedImageError {
    // A frame the source counts could not be decoded (corrupt or cut-off data).
    frameUnavailable,
    // All frames together would exceed the eager budget.
    overBudget,
};

// Every frame of a frame source decoded at once, with the total display time.
struct GIFAnimatedImage {
    QList<ImagePtr> images;
    // Seconds: the sum of the frame times, or infinity for a single frame.
    double duration = 0.0;

    // What a decoded frame holds besides its pixels: the image's and the bitmap's own records
    // (about 500 bytes measured), so that thousands of one-pixel frames count for what they cost.
    static constexpr std::int64_t frameOverheadBytes = 512;

    // Decodes all frames in order, or only the first when `onlyFirstFrame` is set. Fails as a
    // whole when any frame is missing, and before decoding further when the frames, their
    // pixels and `frameOverheadBytes` each, would take more than `budgetBytes` (judged from
    // the first frame's size times the count).
    static std::expected<GIFAnimatedImage, GIFAnimatedImageError>
    decode(const ImageFrameSource& source, const ImageCreatingOptions& options,
           std::int64_t budgetBytes = BitmapLimits::eagerFramesBudgetBytes);

    // The display time of a frame from its stated delay: 0.1 s when the frame states none or
    // a delay of 0.011 s or less (browsers' treatment of "as fast as possible"), else the delay.
    static double frameDuration(std::optional<double> delayTime);
};

} // namespace Lumen
