#include "Lumen/foundation/ImageProcessor.h"

#include "Lumen/foundation/LibraryDefaults.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/ObjectDescription.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/ImageResampling.h"

namespace Lumen {

QString ImageProcessItem::description() const
{
    if (const auto* image = std::get_if<ImagePtr>(&value))
        return QStringLiteral("image(") + describeObject("Lumen::Image", image->get()) + QLatin1Char(')');
    return QStringLiteral("data(") + describeData(std::get<QByteArray>(value)) + QLatin1Char(')');
}

QString ImageProcessor::description() const
{
    return QStringLiteral("ImageProcessor(identifier: \"") + identifier() + QStringLiteral("\")");
}

const std::shared_ptr<const DefaultImageProcessor>& DefaultImageProcessor::shared()
{
    static const auto processor = std::make_shared<const DefaultImageProcessor>();
    return processor;
}

QString DefaultImageProcessor::identifier() const
{
    return QString::fromLatin1(Defaults::defaultImageProcessorIdentifier);
}

ImagePtr DefaultImageProcessor::process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const
{
    if (const auto* image = std::get_if<ImagePtr>(&item.value))
        return scaled(*image, options.scaleFactor);
    return imageFromData(std::get<QByteArray>(item.value), options.imageCreatingOptions());
}

} // namespace Lumen
