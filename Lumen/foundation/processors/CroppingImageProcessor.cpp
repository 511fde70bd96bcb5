#include "Lumen/foundation/processors/CroppingImageProcessor.h"

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"

namespace Lumen {

CroppingImageProcessor::CroppingImageProcessor(QSizeF size, QPointF anchor)
    : DecodingImageProcessor(QLatin1String(IdentifierText::prefix) + QStringLiteral("CroppingImageProcessor(")
                             + IdentifierText::size(size) + QLatin1Char('_') + IdentifierText::point(anchor)
                             + QLatin1Char(')'))
    , m_size(size)
    , m_anchor(anchor)
{
}

ImagePtr CroppingImageProcessor::processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const
{
    return cropped(scaled(image, options.scaleFactor), m_size, m_anchor);
}

} // namespace Lumen
