#pragma once

#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/RectCorner.h"
#include "Lumen/foundation/imaging/CompositingOperation.h"
#include "Lumen/foundation/imaging/DrawingParameters.h"

#include <QColor>
#include <QSizeF>

#include <optional>

namespace Lumen {

// Drawing operations that paint over an image. Each answers a new image with the input's
// scale, or the input itself when it has no bitmap or the work cannot be done (a size or
// value that is not usable); none answers null for a non-null input. Sizes are in pixels.
// Safe on any thread; they share no state.

// The image drawn with `operation` at `alpha` onto a transparent canvas of its pixel size,
// first filled with `backgroundColor` when one is given.
ImagePtr composited(const ImagePtr& image, CompositingOperation operation, double alpha,
                    std::optional<QColor> backgroundColor = std::nullopt);

// The image stretched to `size` and clipped to a rectangle whose `corners` are rounded by
// `radius` (resolved against `size`); the corners are named as seen on screen. When a
// background colour is given it fills the canvas first and so shows in the cut corners.
ImagePtr roundedCorners(const ImagePtr& image, Radius radius, QSizeF size, RectCorner corners = RectCorner::all,
                        std::optional<QColor> backgroundColor = std::nullopt);
ImagePtr roundedCorners(const ImagePtr& image, double cornerRadius, QSizeF size, RectCorner corners = RectCorner::all,
                        std::optional<QColor> backgroundColor = std::nullopt);

// The image with `border` stroked inside its edge: the line's outer side runs along the
// edge, its corners rounded by the border's radius. A negative or non-finite line width, or
// an invalid colour, leaves the input as it is.
ImagePtr bordered(const ImagePtr& image, const Border& border);

// The image with `color` laid over its opaque parts (source-atop) at opacity 1 − fraction;
// a fraction of 0 or less (or NaN) draws no colour, one of 1 or more a transparent one.
ImagePtr overlaid(const ImagePtr& image, const QColor& color, double fraction);

} // namespace Lumen
