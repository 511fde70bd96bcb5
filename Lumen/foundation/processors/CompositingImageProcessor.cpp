#include "Lumen/foundation/processors/CompositingImageProcessor.h"

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImagePainting.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"

namespace Lumen {

namespace {

QString compositingIdentifier(CompositingOperation operation, double alpha, const std::optional<QColor>& background)
{
    QString text = QLatin1String(IdentifierText::prefix) + QStringLiteral("CompositingImageProcessor(")
        + QString::number(static_cast<unsigned>(operation)) + QLatin1Char(',') + IdentifierText::number(alpha)
        + QLatin1Char(')');
    if (background)
        text += QLatin1Char('_') + IdentifierText::rgba(*background);
    return text;
}

} // namespace

CompositingImageProcessor::CompositingImageProcessor(CompositingOperation compositingOperation, double alpha,
                                                     std::optional<QColor> backgroundColor)
    : DecodingImageProcessor(compositingIdentifier(compositingOperation, alpha, backgroundColor))
    , m_compositingOperation(compositingOperation)
    , m_alpha(alpha)
    , m_backgroundColor(std::move(backgroundColor))
{
}

ImagePtr CompositingImageProcessor::processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const
{
    return composited(scaled(image, options.scaleFactor), m_compositingOperation, m_alpha, m_backgroundColor);
}

} // namespace Lumen
