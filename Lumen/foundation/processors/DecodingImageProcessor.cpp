#include "Lumen/foundation/processors/DecodingImageProcessor.h"

#include "Lumen/foundation/LumenOptionsInfo.h"

namespace Lumen {

ImagePtr DecodingImageProcessor::process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const
{
    ImagePtr image;
    if (const auto* given = std::get_if<ImagePtr>(&item.value))
        image = *given;
    else
        image = DefaultImageProcessor::shared()->process(item, options);
    if (!image)
        return nullptr;
    return processImage(image, options);
}

} // namespace Lumen
