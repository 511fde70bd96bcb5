#pragma once

#include "Lumen/foundation/Geometry.h"
#include "Lumen/foundation/Image.h"

#include <QMarginsF>

namespace Lumen {

// What the image layer of an `LMImage` draws: the image and how it is fitted into the view.
// The view's configurations turn one of these into the next, in the order they were added.
struct LMImageContent {
    enum class ResizingMode { stretch, tile };
    // `none` draws with the nearest pixel; every other quality smooths.
    enum class Interpolation { none, low, medium, high };
    // `asTemplate` keeps only the image's shape: its alpha filled with the view's text colour.
    enum class RenderingMode { original, asTemplate };

    // Null, or without a bitmap, draws nothing.
    ImagePtr image;
    // Without it the image keeps its own size in points, centred and cut off by the view.
    bool resizable = false;
    // Edges kept at their size while the middle stretches or tiles, in points.
    QMarginsF capInsets;
    ResizingMode resizingMode = ResizingMode::stretch;
    Interpolation interpolation = Interpolation::high;
    bool antialiased = true;
    // How a resizable image fills the view: stretched (`none`), fitted or filling, centred.
    ContentMode contentMode = ContentMode::none;
    // The view's corners are cut to this radius; 0 keeps them square.
    double cornerRadius = 0;
    RenderingMode renderingMode = RenderingMode::original;

    bool operator==(const LMImageContent&) const = default;
};

} // namespace Lumen
