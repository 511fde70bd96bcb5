#include "Lumen/foundation/imaging/ImageDecoding.h"

#include "Lumen/foundation/imaging/AllocationFailure.h"
#include "Lumen/foundation/imaging/AnimatedImageDecoding.h"
#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/foundation/imaging/BoundedDecoding.h"
#include "Lumen/foundation/imaging/ImageDataReader.h"
#include "Lumen/foundation/imaging/ImageFormat.h"
#include "Lumen/foundation/imaging/ThumbnailSize.h"

#include <algorithm>
#include <cmath>

namespace Lumen {

namespace {

ImagePtr decodedStill(const QByteArray& data)
{
    const auto decoding = boundedDecoding(data);
    if (!decoding || !BitmapLimits::allows(decoding->size))
        return nullptr;
    ImageDataReader source(data, decoding->format);
    QImage bitmap = source.reader().read();
    if (bitmap.isNull())
        return nullptr;
    return Image::make(std::move(bitmap));
}

ImagePtr decodedThumbnail(const QByteArray& data, double maxPixels)
{
    const auto decoding = boundedDecoding(data);
    if (!decoding)
        return nullptr;
    // A decoder that cannot scale while decoding holds the full bitmap first, which the
    // accounting has bounded already.
    const auto target = thumbnailPixelSize(decoding->size, QSizeF(maxPixels, maxPixels));
    if (!target || !BitmapLimits::allows(*target))
        return nullptr;
    ImageDataReader source(data, decoding->format);
    QImageReader& reader = source.reader();
    if (*target != decoding->size)
        reader.setScaledSize(*target);

    QImage bitmap = reader.read();
    if (bitmap.isNull())
        return nullptr;
    // An orientation the decoder applied may turn the bitmap on its side.
    if (const auto bounded = thumbnailPixelSize(bitmap.size(), QSizeF(maxPixels, maxPixels));
        bounded && *bounded != bitmap.size())
        bitmap = bitmap.scaled(*bounded, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return Image::make(std::move(bitmap));
}

} // namespace

ImagePtr imageFromData(const QByteArray& data, const ImageCreatingOptions& options)
{
    if (imageFormat(data) == ImageFormat::GIF)
        return animatedImage(data, options);
    return stillImage(data);
}

ImagePtr stillImage(const QByteArray& data)
{
    return refusingAllocationFailure(ImagePtr(), [&] { return decodedStill(data); });
}

ImagePtr downsampledImage(const QByteArray& data, QSizeF pointSize, double scale)
{
    const double maxPixels = std::max(pointSize.width(), pointSize.height()) * scale;
    if (!std::isfinite(maxPixels) || maxPixels < 1.0)
        return nullptr;
    return refusingAllocationFailure(ImagePtr(), [&] { return decodedThumbnail(data, maxPixels); });
}

} // namespace Lumen
