#pragma once

#include "Lumen/foundation/RectCorner.h"
#include "Lumen/foundation/imaging/DrawingParameters.h"
#include "Lumen/foundation/processors/DecodingImageProcessor.h"

#include <QColor>
#include <QSizeF>

#include <optional>

namespace Lumen {

// Stretches the image to a target size (its own pixel size when none is given) and rounds the
// chosen corners; a background colour shows in the cut-off corners.
class RoundCornerImageProcessor final : public DecodingImageProcessor {
public:
    RoundCornerImageProcessor(Radius radius, std::optional<QSizeF> targetSize = std::nullopt,
                              RectCorner roundingCorners = RectCorner::all,
                              std::optional<QColor> backgroundColor = std::nullopt);
    // A corner radius in pixels.
    RoundCornerImageProcessor(double cornerRadius, std::optional<QSizeF> targetSize = std::nullopt,
                              RectCorner roundingCorners = RectCorner::all,
                              std::optional<QColor> backgroundColor = std::nullopt);

    Radius radius() const { return m_radius; }
    RectCorner roundingCorners() const { return m_roundingCorners; }
    const std::optional<QSizeF>& targetSize() const { return m_targetSize; }
    const std::optional<QColor>& backgroundColor() const { return m_backgroundColor; }

protected:
    ImagePtr processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const override;

private:
    const Radius m_radius;
    const RectCorner m_roundingCorners;
    const std::optional<QSizeF> m_targetSize;
    const std::optional<QColor> m_backgroundColor;
};

} // namespace Lumen
