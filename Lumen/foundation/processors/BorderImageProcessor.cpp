#include "Lumen/foundation/processors/BorderImageProcessor.h"

#include "Lumen/foundation/imaging/ImagePainting.h"
#include "Lumen/foundation/processors/ProcessorIdentifierText.h"

namespace Lumen {

namespace {

// Border identifiers share the round-corner prefix and have no closing parenthesis; cached
// files carry this text, so it stays as it is.
QString borderIdentifier(const Border& border)
{
    return QLatin1String(IdentifierText::prefix) + QStringLiteral("RoundCornerImageProcessor(")
        + IdentifierText::border(border);
}

} // namespace

BorderImageProcessor::BorderImageProcessor(Border border)
    : DecodingImageProcessor(borderIdentifier(border))
    , m_border(std::move(border))
{
}

ImagePtr BorderImageProcessor::processImage(const ImagePtr& image, const LumenParsedOptionsInfo&) const
{
    return bordered(image, m_border);
}

} // namespace Lumen
