#include "Lumen/foundation/progressive/ImageProgressive.h"

namespace Lumen {

ImageProgressive::ImageProgressive()
    : onImageUpdated(ImageUpdatedHook::make())
{
}

ImageProgressive::ImageProgressive(bool isBlur, bool isFastestScan, double scanInterval)
    : isBlur(isBlur)
    , isFastestScan(isFastestScan)
    , scanInterval(scanInterval)
    , onImageUpdated(ImageUpdatedHook::make())
{
}

const std::shared_ptr<const ImageProgressive>& ImageProgressive::shared()
{
    static const auto setting = std::make_shared<const ImageProgressive>();
    return setting;
}

} // namespace Lumen
