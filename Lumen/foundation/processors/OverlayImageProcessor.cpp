#include "Lumen/foundation/processors/OverlayImageProcessor.h"

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImagePainting.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"

namespace Lumen {

OverlayImageProcessor::OverlayImageProcessor(QColor overlay, double fraction)
    : DecodingImageProcessor(QLatin1String(IdentifierText::prefix) + QStringLiteral("OverlayImageProcessor(")
                             + IdentifierText::rgba(overlay) + QLatin1Char('_') + IdentifierText::number(fraction)
                             + QLatin1Char(')'))
    , m_overlay(overlay)
    , m_fraction(fraction)
{
}

ImagePtr OverlayImageProcessor::processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const
{
    return overlaid(scaled(image, options.scaleFactor), m_overlay, m_fraction);
}

} // namespace Lumen
