#include "Lumen/cache/CacheSerializer.h"

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/ImageEncoding.h"
#include "Lumen/foundation/imaging/ImageFormat.h"

namespace Lumen {

const std::shared_ptr<const DefaultCacheSerializer>& DefaultCacheSerializer::shared()
{
    static const auto serializer = std::make_shared<const DefaultCacheSerializer>();
    return serializer;
}

std::optional<QByteArray> DefaultCacheSerializer::data(const ImagePtr& image,
                                                       const std::optional<QByteArray>& original) const
{
    if (preferCacheOriginalData)
        return original ? original : pngRepresentation(image);

    const ImageFormat format = original ? imageFormat(*original) : ImageFormat::unknown;
    return encodedData(image, format, compressionQuality);
}

ImagePtr DefaultCacheSerializer::image(const QByteArray& data, const LumenParsedOptionsInfo& options) const
{
    return imageFromData(data, options.imageCreatingOptions());
}

} // namespace Lumen
