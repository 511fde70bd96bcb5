#include "Lumen/foundation/processors/DecodingImageProcessor.h"

#include "Lumen/foundation/LumenOptionsInfo.h"

namespace Lumen {

ImagePtr decodedItem(const ImageProcessItem& item, const LumenParsedOptionsInfo& options)
{
    if (const auto* given = std::get_if<ImagePtr>(&item.value))
        return *given;
    return DefaultImageProcessor::shared()->process(item, options);
}

ImagePtr DecodingImageProcessor::process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const
{
    const ImagePtr image = decodedItem(item, options);
    if (!image)
        return nullptr;
    return processImage(image, options);
}

} // namespace Lumen
