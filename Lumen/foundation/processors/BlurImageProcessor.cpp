#include "Lumen/foundation/processors/BlurImageProcessor.h"

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageBlur.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"
#include "Lumen/foundation/processors/ProcessorScale.h"

namespace Lumen {

namespace {

QString blurIdentifier(double blurRadius, double scale)
{
    return QLatin1String(IdentifierText::prefix) + QStringLiteral("BlurImageProcessor(")
        + IdentifierText::number(blurRadius) + QLatin1Char(')') + IdentifierText::scaleSuffix(scale);
}

} // namespace

BlurImageProcessor::BlurImageProcessor(double blurRadius, double scaleFactor)
    : DecodingImageProcessor(blurIdentifier(blurRadius, processorScale(scaleFactor)))
    , m_blurRadius(blurRadius)
    , m_scaleFactor(processorScale(scaleFactor))
{
}

ImagePtr BlurImageProcessor::processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const
{
    return blurred(scaled(image, options.scaleFactor), m_blurRadius * m_scaleFactor);
}

} // namespace Lumen
