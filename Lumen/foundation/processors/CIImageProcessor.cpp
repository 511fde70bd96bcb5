#include "Lumen/foundation/processors/CIImageProcessor.h"

#include "Lumen/foundation/processors/DecodingImageProcessor.h"

namespace Lumen {

ImagePtr CIImageProcessor::process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const
{
    const ImagePtr image = decodedItem(item, options);
    if (!image)
        return nullptr;
    return applying(image, filter());
}

} // namespace Lumen
