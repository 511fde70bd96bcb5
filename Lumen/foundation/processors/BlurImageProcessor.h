#pragma once

#include "Lumen/foundation/processors/DecodingImageProcessor.h"

namespace Lumen {

// Blurs the image like a Gaussian of `blurRadius` points. The radius in pixels is the radius
// times `scaleFactor`, which the processor is made for and which its identifier names when it
// is not 1: pass the request's scale factor. The image is declared at the options' scale.
class BlurImageProcessor final : public DecodingImageProcessor {
public:
    explicit BlurImageProcessor(double blurRadius, double scaleFactor = 1.0);

    double blurRadius() const { return m_blurRadius; }
    double scaleFactor() const { return m_scaleFactor; }

protected:
    ImagePtr processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const override;

private:
    const double m_blurRadius;
    const double m_scaleFactor;
};

} // namespace Lumen
