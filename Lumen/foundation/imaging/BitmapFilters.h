#pragma once

#include <QColor>
#include <QImage>

namespace Lumen {

// Colour adjustments in the order they apply: saturation (towards Rec. 709 luma), brightness
// (added), contrast (around mid-grey), all on gamma-encoded components; then exposure, which
// multiplies linear light by 2^inputEV. Brightness 0, contrast 1, saturation 1 and inputEV 0
// change nothing.
struct ColorElement {
    double brightness = 0.0;
    double contrast = 1.0;
    double saturation = 1.0;
    double inputEV = 0.0;

    bool operator==(const ColorElement&) const = default;
};

// `image` with `color` laid over every pixel source-over, so the colour's alpha decides how
// much of the image shows through (transparent pixels take the colour too). Premultiplied
// ARGB32; a null QImage for a null image or an invalid colour.
QImage tintedBitmap(const QImage& image, const QColor& color);

// `image` with the colour controls applied to each unpremultiplied pixel; alpha is kept.
// Premultiplied ARGB32; a null QImage for a null image or a value that is not finite.
QImage colorAdjustedBitmap(const QImage& image, const ColorElement& element);

} // namespace Lumen
