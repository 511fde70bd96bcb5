#pragma once

#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/ImageCreatingOptions.h"
#include "Lumen/foundation/imaging/ImageFrameSource.h"

#include <QByteArray>

#include <expected>
#include <memory>

namespace Lumen {

enum class AnimatedImageError {
    // The bytes are not GIF data, or end inside its header.
    notGIF,
    // The canvas is larger than any bitmap may be (a decompression bomb).
    canvasTooLarge,
    // A frame could not be decoded: corrupt or cut-off data.
    frameUnavailable,
    // The data holds no frame, and no base image was given.
    noFrames,
    // Decoding ran out of memory.
    outOfMemory,
};

using AnimatedDecoding = std::expected<ImagePtr, AnimatedImageError>;

// Decodes GIF data into an image carrying, besides its first frame: the data, the frame
// count, a frame source over the data and `options`. Unless `options.onlyFirstFrame` is set,
// it also carries every frame and the total duration (infinity for one frame). When all
// frames together would exceed BitmapLimits::eagerFramesBudgetBytes, only the first frame is
// decoded and the rest stay available through the frame source.
AnimatedDecoding decodeAnimatedImage(const QByteArray& data, const ImageCreatingOptions& options);

// The same over any frame source. With a base image, that very object is answered, carrying
// the values; without one, an image over the first frame. The whole decode fails when any
// frame it decodes is missing.
AnimatedDecoding decodeAnimatedImage(const std::shared_ptr<ImageFrameSource>& source,
                                     const ImageCreatingOptions& options, const ImagePtr& baseImage = nullptr);

// The forms above with null for every failure, for callers that only need "no image".
ImagePtr animatedImage(const QByteArray& data, const ImageCreatingOptions& options);
ImagePtr animatedImage(const std::shared_ptr<ImageFrameSource>& source, const ImageCreatingOptions& options,
                       const ImagePtr& baseImage = nullptr);

} // namespace Lumen
