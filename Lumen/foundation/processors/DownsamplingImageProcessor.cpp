#include "Lumen/foundation/processors/DownsamplingImageProcessor.h"

#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/ImageEncoding.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"
#include "Lumen/foundation/processors/ProcessorScale.h"

namespace Lumen {

DownsamplingImageProcessor::DownsamplingImageProcessor(QSizeF size, double scaleFactor)
    : m_size(size)
    , m_scaleFactor(processorScale(scaleFactor))
    , m_identifier(QLatin1String(IdentifierText::prefix) + QStringLiteral("DownsamplingImageProcessor(")
                   + IdentifierText::size(size) + QLatin1Char(')') + IdentifierText::scaleSuffix(m_scaleFactor))
{
}

ImagePtr DownsamplingImageProcessor::process(const ImageProcessItem& item, const LumenParsedOptionsInfo&) const
{
    if (const auto* data = std::get_if<QByteArray>(&item.value))
        return downsampledImage(*data, m_size, m_scaleFactor);
    const auto png = pngRepresentation(std::get<ImagePtr>(item.value));
    if (!png)
        return nullptr;
    return downsampledImage(*png, m_size, m_scaleFactor);
}

} // namespace Lumen
