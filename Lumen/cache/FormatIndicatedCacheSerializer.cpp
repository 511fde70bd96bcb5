#include "Lumen/cache/FormatIndicatedCacheSerializer.h"

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/ImageEncoding.h"

namespace Lumen {

namespace {

std::optional<QByteArray> encoded(const ImagePtr& image, ImageFormat format, double jpegQuality)
{
    switch (format) {
    case ImageFormat::PNG:
        return pngRepresentation(image);
    case ImageFormat::JPEG:
        return jpegRepresentation(image, jpegQuality);
    case ImageFormat::GIF:
        return gifRepresentation(image);
    case ImageFormat::unknown:
        break;
    }
    return std::nullopt;
}

} // namespace

std::shared_ptr<const FormatIndicatedCacheSerializer> FormatIndicatedCacheSerializer::png()
{
    return std::make_shared<const FormatIndicatedCacheSerializer>(ImageFormat::PNG, std::nullopt);
}

std::shared_ptr<const FormatIndicatedCacheSerializer> FormatIndicatedCacheSerializer::jpeg()
{
    return jpeg(1.0);
}

std::shared_ptr<const FormatIndicatedCacheSerializer> FormatIndicatedCacheSerializer::jpeg(double compressionQuality)
{
    return std::make_shared<const FormatIndicatedCacheSerializer>(ImageFormat::JPEG, compressionQuality);
}

std::shared_ptr<const FormatIndicatedCacheSerializer> FormatIndicatedCacheSerializer::gif()
{
    return std::make_shared<const FormatIndicatedCacheSerializer>(ImageFormat::GIF, std::nullopt);
}

std::optional<QByteArray> FormatIndicatedCacheSerializer::data(const ImagePtr& image,
                                                               const std::optional<QByteArray>& original) const
{
    const double quality = jpegCompressionQuality.value_or(1.0);
    if (auto bytes = encoded(image, imageFormat, quality))
        return bytes;
    if (original) {
        if (const ImageFormat detected = Lumen::imageFormat(*original); detected != imageFormat) {
            if (auto bytes = encoded(image, detected, quality))
                return bytes;
        }
        return original;
    }
    return pngRepresentation(image);
}

ImagePtr FormatIndicatedCacheSerializer::image(const QByteArray& data, const LumenParsedOptionsInfo& options) const
{
    return imageFromData(data, options.imageCreatingOptions());
}

} // namespace Lumen
