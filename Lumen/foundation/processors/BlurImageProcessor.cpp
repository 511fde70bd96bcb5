#include "Lumen/foundation/processors/BlurImageProcessor.h"

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageBlur.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"
#include "Lumen/foundation/processors/ProcessorScale.h"

namespace Lumen {

BlurImageProcessor::BlurImageProcessor(double blurRadius)
    : DecodingImageProcessor(QLatin1String(IdentifierText::prefix) + QStringLiteral("BlurImageProcessor(")
                             + IdentifierText::number(blurRadius) + QLatin1Char(')'))
    , m_blurRadius(blurRadius)
{
}

ImagePtr BlurImageProcessor::processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const
{
    return blurred(scaled(image, options.scaleFactor), m_blurRadius * processorScale(options.scaleFactor));
}

} // namespace Lumen
