#include "Lumen/foundation/processors/TintImageProcessor.h"

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageFilter.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"

namespace Lumen {

TintImageProcessor::TintImageProcessor(QColor tint)
    : DecodingImageProcessor(QLatin1String(IdentifierText::prefix) + QStringLiteral("TintImageProcessor(")
                             + IdentifierText::rgba(tint) + QLatin1Char(')'))
    , m_tint(tint)
{
}

ImagePtr TintImageProcessor::processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const
{
    return tinted(scaled(image, options.scaleFactor), m_tint);
}

} // namespace Lumen
