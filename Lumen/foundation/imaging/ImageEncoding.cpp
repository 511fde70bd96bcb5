#include "Lumen/foundation/imaging/ImageEncoding.h"

#include "Lumen/foundation/imaging/FastPNGEncoder.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cmath>

namespace Lumen {

namespace {

std::optional<QByteArray> encoded(const ImagePtr& image, const char* format, int quality)
{
    if (!image || !image->hasBitmap())
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image->bitmap()))
        return std::nullopt;
    return bytes;
}

} // namespace

std::optional<QByteArray> pngRepresentation(const ImagePtr& image)
{
    if (image && image->hasBitmap()) {
        if (auto bytes = fastPngData(image->bitmap()))
            return bytes;
    }
    return encoded(image, "png", -1);
}

std::optional<QByteArray> jpegRepresentation(const ImagePtr& image, double compressionQuality)
{
    if (std::isnan(compressionQuality))
        return std::nullopt;
    const int quality = static_cast<int>(std::lround(std::clamp(compressionQuality, 0.0, 1.0) * 100.0));
    return encoded(image, "jpeg", quality);
}

std::optional<QByteArray> gifRepresentation(const ImagePtr& image)
{
    if (!image)
        return std::nullopt;
    return image->animatedImageData();
}

std::optional<QByteArray> encodedData(const ImagePtr& image, ImageFormat format, double compressionQuality)
{
    switch (format) {
    case ImageFormat::unknown:
    case ImageFormat::PNG:
        return pngRepresentation(image);
    case ImageFormat::JPEG:
        return jpegRepresentation(image, compressionQuality);
    case ImageFormat::GIF:
        return gifRepresentation(image);
    }
    return std::nullopt;
}

} // namespace Lumen
