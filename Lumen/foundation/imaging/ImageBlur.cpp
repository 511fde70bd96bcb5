#include "Lumen/foundation/imaging/ImageBlur.h"

#include "Lumen/foundation/imaging/BoxBlur.h"
#include "Lumen/foundation/imaging/ImageResampling.h"

namespace Lumen {

ImagePtr blurred(const ImagePtr& image, double radius)
{
    if (!image || !image->hasBitmap())
        return image;
    const auto parameters = BoxBlurParameters::forRadius(radius);
    if (!parameters)
        return image;
    const QImage result = boxBlurred(image->bitmap(), parameters->boxSize, parameters->passes);
    if (result.isNull())
        return image;
    return pixelFixed(image, result);
}

} // namespace Lumen
