#pragma once

#include "Lumen/foundation/Geometry.h"
#include "Lumen/foundation/Image.h"

#include <QImage>
#include <QPointF>
#include <QSizeF>

namespace Lumen {

// Operations that change an image's pixel grid. Each answers a new image with the input's
// scale, or the input itself when it has no bitmap or the size is not usable (not finite,
// below one pixel, or beyond BitmapLimits). Sizes are in pixels. Safe on any thread.

// `bitmap` (the output of a filter or blur of `reference`) brought to the reference's pixel
// size, stretched when it differs.
ImagePtr pixelFixed(const ImagePtr& reference, const QImage& bitmap);

// The image stretched to `size`.
ImagePtr resized(const ImagePtr& image, QSizeF size);

// The image resized to `size` (`none`), or to the size of its aspect that fits into
// (`aspectFit`) or covers (`aspectFill`) `size`.
ImagePtr resized(const ImagePtr& image, QSizeF size, ContentMode mode);

// The part of the image of `size` placed by `anchor` ((0, 0) top left, (1, 1) bottom right,
// clamped), limited to the image: a size larger than the image gives the whole image.
ImagePtr cropped(const ImagePtr& image, QSizeF size, QPointF anchor);

// The same pixels declared at `factor` pixels per point, never resampled. A factor of exactly
// 1, or one that is not finite and positive, answers the input itself.
ImagePtr scaled(const ImagePtr& image, double factor);

// The image redrawn into a fresh bitmap at its full pixel resolution and declared at `scale`
// (a scale that is not finite and positive counts as 1). Animated images (carrying frames
// or a frame source) come back unchanged, so their attached values survive.
ImagePtr decoded(const ImagePtr& image, double scale = 1.0);

// The image drawn into the caller's `context` over (0, 0, its pixel size), answered as an
// image of that context. Unchanged for an image carrying animation data, without a bitmap,
// or with a context that cannot be painted on.
ImagePtr decoded(const ImagePtr& image, QImage& context);

} // namespace Lumen
