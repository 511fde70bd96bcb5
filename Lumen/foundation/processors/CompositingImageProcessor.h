#pragma once

#include "Lumen/foundation/imaging/CompositingOperation.h"
#include "Lumen/foundation/processors/DecodingImageProcessor.h"

#include <QColor>

#include <optional>

namespace Lumen {

// Draws the image with a compositing operation and opacity onto a fresh canvas, filled first
// with a background colour when one is given.
class CompositingImageProcessor final : public DecodingImageProcessor {
public:
    CompositingImageProcessor(CompositingOperation compositingOperation, double alpha,
                              std::optional<QColor> backgroundColor = std::nullopt);

    CompositingOperation compositingOperation() const { return m_compositingOperation; }
    double alpha() const { return m_alpha; }
    const std::optional<QColor>& backgroundColor() const { return m_backgroundColor; }

protected:
    ImagePtr processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const override;

private:
    const CompositingOperation m_compositingOperation;
    const double m_alpha;
    const std::optional<QColor> m_backgroundColor;
};

} // namespace Lumen
