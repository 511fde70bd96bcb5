#include "Lumen/foundation/processors/RoundCornerImageProcessor.h"

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImagePainting.h"
#include "Lumen/foundation/imaging/ImageResampling.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"

namespace Lumen {

namespace {

QString roundCornerIdentifier(Radius radius, const std::optional<QSizeF>& targetSize, RectCorner corners,
                              const std::optional<QColor>& background)
{
    QString text = QLatin1String(IdentifierText::prefix) + QStringLiteral("RoundCornerImageProcessor(")
        + IdentifierText::radius(radius);
    if (targetSize)
        text += QLatin1Char('_') + IdentifierText::size(*targetSize);
    if (corners != RectCorner::all)
        text += QStringLiteral("_corner(") + QString::number(corners.rawValue()) + QLatin1Char(')');
    text += QLatin1Char(')');
    if (background)
        text += QLatin1Char('_') + IdentifierText::color(*background);
    return text;
}

} // namespace

RoundCornerImageProcessor::RoundCornerImageProcessor(Radius radius, std::optional<QSizeF> targetSize,
                                                     RectCorner roundingCorners, std::optional<QColor> backgroundColor)
    : DecodingImageProcessor(roundCornerIdentifier(radius, targetSize, roundingCorners, backgroundColor))
    , m_radius(radius)
    , m_roundingCorners(roundingCorners)
    , m_targetSize(targetSize)
    , m_backgroundColor(std::move(backgroundColor))
{
}

RoundCornerImageProcessor::RoundCornerImageProcessor(double cornerRadius, std::optional<QSizeF> targetSize,
                                                     RectCorner roundingCorners, std::optional<QColor> backgroundColor)
    : RoundCornerImageProcessor(Radius::point(cornerRadius), targetSize, roundingCorners, std::move(backgroundColor))
{
}

ImagePtr RoundCornerImageProcessor::processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const
{
    // Sized from the input before scaling, so the scale factor never changes the output's pixels.
    const QSizeF size = m_targetSize.value_or(QSizeF(image->pixelSize()));
    return roundedCorners(scaled(image, options.scaleFactor), m_radius, size, m_roundingCorners, m_backgroundColor);
}

} // namespace Lumen
