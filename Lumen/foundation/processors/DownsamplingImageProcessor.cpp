#include "Lumen/foundation/processors/DownsamplingImageProcessor.h"

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/ImageEncoding.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"
#include "Lumen/foundation/processors/ProcessorScale.h"

namespace Lumen {

DownsamplingImageProcessor::DownsamplingImageProcessor(QSizeF size)
    : m_size(size)
    , m_identifier(QLatin1String(IdentifierText::prefix) + QStringLiteral("DownsamplingImageProcessor(")
                   + IdentifierText::size(size) + QLatin1Char(')'))
{
}

ImagePtr DownsamplingImageProcessor::process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const
{
    const double scale = processorScale(options.scaleFactor);
    if (const auto* data = std::get_if<QByteArray>(&item.value))
        return downsampledImage(*data, m_size, scale);
    const auto png = pngRepresentation(std::get<ImagePtr>(item.value));
    if (!png)
        return nullptr;
    return downsampledImage(*png, m_size, scale);
}

} // namespace Lumen
