#pragma once

#include "Lumen/foundation/imaging/DrawingParameters.h"
#include "Lumen/foundation/processors/DecodingImageProcessor.h"

namespace Lumen {

// Strokes a border inside the image's edge. The image is not scaled.
class BorderImageProcessor final : public DecodingImageProcessor {
public:
    explicit BorderImageProcessor(Border border);

    const Border& border() const { return m_border; }

protected:
    ImagePtr processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const override;

private:
    const Border m_border;
};

} // namespace Lumen
