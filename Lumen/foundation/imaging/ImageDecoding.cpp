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
#include <memory>

namespace Lumen {

namespace {

// A reader for data whose decoding can be bounded; null for any other data. A format bounded
// only by its header must declare a size within BitmapLimits: such decoders hold the whole
// bitmap, whatever size is asked of them.
std::unique_ptr<ImageDataReader> boundedReader(const QByteArray& data)
{
    const auto decoding = boundedDecoding(data);
    if (!decoding)
        return nullptr;
    auto source = std::make_unique<ImageDataReader>(data, decoding->format);
    if (decoding->needsDeclaredSize && !BitmapLimits::allows(source->reader().size()))
        return nullptr;
    return source;
}

ImagePtr decodedStill(const QByteArray& data)
{
    const auto source = boundedReader(data);
    if (!source)
        return nullptr;
    QImageReader& reader = source->reader();
    const QSize size = reader.size();
    if (size.isValid() && !BitmapLimits::allows(size))
        return nullptr;

    QImage bitmap = reader.read();
    if (bitmap.isNull())
        return nullptr;
    return Image::make(std::move(bitmap));
}

ImagePtr decodedThumbnail(const QByteArray& data, double maxPixels)
{
    const auto source = boundedReader(data);
    if (!source)
        return nullptr;
    QImageReader& reader = source->reader();
    const QSize size = reader.size();
    if (size.isValid()) {
        const auto target = thumbnailPixelSize(size, QSizeF(maxPixels, maxPixels));
        if (!target || !BitmapLimits::allows(*target))
            return nullptr;
        if (*target != size)
            reader.setScaledSize(*target);
    }

    QImage bitmap = reader.read();
    if (bitmap.isNull())
        return nullptr;
    // Formats that state no size up front are bounded after decoding.
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
