#pragma once

#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/imaging/BitmapFilters.h"

#include <QColor>
#include <QImage>

#include <functional>

namespace Lumen {

// A transformation of a bitmap; a null answer means "no output". Immutable, so filters
// may run on any thread.
class Filter {
public:
    using Transform = std::function<QImage(const QImage&)>;
    using ColorElement = Lumen::ColorElement;

    explicit Filter(Transform transform) : m_transform(std::move(transform)) {}

    // Lays `color` over the whole image source-over (see tintedBitmap).
    static Filter tinting(const QColor& color);
    // Brightness, contrast and saturation, then exposure (see ColorElement).
    static Filter colorControls(const ColorElement& element);

    QImage transform(const QImage& image) const { return m_transform ? m_transform(image) : QImage(); }

private:
    Transform m_transform;
};

// The image run through `filter`, brought back to its pixel size; the input itself when it
// has no bitmap or the filter gives no output. Never null for a non-null input.
ImagePtr applying(const ImagePtr& image, const Filter& filter);

ImagePtr tinted(const ImagePtr& image, const QColor& color);
ImagePtr colorAdjusted(const ImagePtr& image, double brightness, double contrast, double saturation, double inputEV);

} // namespace Lumen
