#pragma once

#include "Lumen/foundation/processors/DecodingImageProcessor.h"

#include <QColor>

namespace Lumen {

// Lays a colour over the image's opaque parts at opacity 1 − fraction.
class OverlayImageProcessor final : public DecodingImageProcessor {
public:
    OverlayImageProcessor(QColor overlay, double fraction);

    const QColor& overlay() const { return m_overlay; }
    double fraction() const { return m_fraction; }

protected:
    ImagePtr processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const override;

private:
    const QColor m_overlay;
    const double m_fraction;
};

} // namespace Lumen
