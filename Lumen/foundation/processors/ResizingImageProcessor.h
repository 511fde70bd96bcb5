#pragma once

#include "Lumen/foundation/Geometry.h"
#include "Lumen/foundation/processors/DecodingImageProcessor.h"

#include <QSizeF>

namespace Lumen {

// Resizes the image to a reference size, or to the size of its own aspect that fits into or
// covers the reference.
class ResizingImageProcessor final : public DecodingImageProcessor {
public:
    explicit ResizingImageProcessor(QSizeF referenceSize, ContentMode targetContentMode = ContentMode::none);

    QSizeF referenceSize() const { return m_referenceSize; }
    ContentMode targetContentMode() const { return m_targetContentMode; }

protected:
    ImagePtr processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const override;

private:
    const QSizeF m_referenceSize;
    const ContentMode m_targetContentMode;
};

} // namespace Lumen
