#pragma once

#include "Lumen/foundation/processors/DecodingImageProcessor.h"

#include <QColor>

namespace Lumen {

// Lays a colour over the whole image; the colour's alpha decides how much of the image shows.
class TintImageProcessor final : public DecodingImageProcessor {
public:
    explicit TintImageProcessor(QColor tint);

    const QColor& tint() const { return m_tint; }

protected:
    ImagePtr processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const override;

private:
    const QColor m_tint;
};

} // namespace Lumen
