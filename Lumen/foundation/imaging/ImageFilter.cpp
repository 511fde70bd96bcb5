#include "Lumen/foundation/imaging/ImageFilter.h"

#include "Lumen/foundation/imaging/ImageResampling.h"

namespace Lumen {

Filter Filter::tinting(const QColor& color)
{
    return Filter([color](const QImage& image) { return tintedBitmap(image, color); });
}

Filter Filter::colorControls(const ColorElement& element)
{
    return Filter([element](const QImage& image) { return colorAdjustedBitmap(image, element); });
}

ImagePtr applying(const ImagePtr& image, const Filter& filter)
{
    if (!image || !image->hasBitmap())
        return image;
    const QImage output = filter.transform(image->bitmap());
    if (output.isNull())
        return image;
    return pixelFixed(image, output);
}

ImagePtr tinted(const ImagePtr& image, const QColor& color)
{
    return applying(image, Filter::tinting(color));
}

ImagePtr colorAdjusted(const ImagePtr& image, double brightness, double contrast, double saturation, double inputEV)
{
    return applying(image, Filter::colorControls(ColorElement{brightness, contrast, saturation, inputEV}));
}

} // namespace Lumen
