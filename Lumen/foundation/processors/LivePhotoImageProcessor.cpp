#include "Lumen/foundation/processors/LivePhotoImageProcessor.h"

namespace Lumen {

QString LivePhotoImageProcessor::identifier() const
{
    return QStringLiteral("com.vantrel.Lumen.LivePhotoImageProcessor");
}

ImagePtr LivePhotoImageProcessor::process(const ImageProcessItem& item, const LumenParsedOptionsInfo&) const
{
    if (const auto* image = std::get_if<ImagePtr>(&item.value))
        return *image;
    return Image::makeEmpty();
}

} // namespace Lumen
