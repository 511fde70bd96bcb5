#include "Lumen/foundation/processors/ResizingImageProcessor.h"

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"

namespace Lumen {

namespace {

QString resizingIdentifier(QSizeF referenceSize, ContentMode mode)
{
    QString text = QLatin1String(IdentifierText::prefix) + QStringLiteral("ResizingImageProcessor(")
        + IdentifierText::size(referenceSize);
    if (mode != ContentMode::none)
        text += QStringLiteral(", ") + IdentifierText::contentMode(mode);
    return text + QLatin1Char(')');
}

} // namespace

ResizingImageProcessor::ResizingImageProcessor(QSizeF referenceSize, ContentMode targetContentMode)
    : DecodingImageProcessor(resizingIdentifier(referenceSize, targetContentMode))
    , m_referenceSize(referenceSize)
    , m_targetContentMode(targetContentMode)
{
}

ImagePtr ResizingImageProcessor::processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const
{
    return resized(scaled(image, options.scaleFactor), m_referenceSize, m_targetContentMode);
}

} // namespace Lumen
