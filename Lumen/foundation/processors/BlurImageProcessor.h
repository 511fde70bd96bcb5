#pragma once

#include "Lumen/foundation/processors/DecodingImageProcessor.h"

namespace Lumen {

// Blurs the image like a Gaussian of `blurRadius` points: in pixels, the radius times the
// request's scale factor. The image is declared at that scale.
class BlurImageProcessor final : public DecodingImageProcessor {
public:
    explicit BlurImageProcessor(double blurRadius);

    double blurRadius() const { return m_blurRadius; }

protected:
    ImagePtr processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const override;

private:
    const double m_blurRadius;
};

} // namespace Lumen
