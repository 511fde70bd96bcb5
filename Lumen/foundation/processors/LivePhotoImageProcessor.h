#pragma once

#include "Lumen/foundation/ImageProcessor.h"

namespace Lumen {

// Leaves live-photo material as it is: the bytes of a live photo's resources are not an image
// to decode, so data gives an empty image (never null), and an image comes back itself.
class LivePhotoImageProcessor final : public ImageProcessor {
public:
    QString identifier() const override;
    ImagePtr process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const override;
};

} // namespace Lumen
