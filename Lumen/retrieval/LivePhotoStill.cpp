#include "Lumen/retrieval/LivePhotoStill.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/retrieval/HeifStillDecoding.h"
#include "Lumen/retrieval/IsoBrand.h"
#include "Lumen/retrieval/LivePhotoFileReading.h"

#include <QBuffer>
#include <QImageReader>

#include <array>
#include <cmath>
#include <utility>

namespace Lumen {

namespace {

struct RasterSuffix {
    const char* suffix;
    const char* format;
};

constexpr std::array rasterSuffixes{
    RasterSuffix{"jpg", "jpeg"}, RasterSuffix{"jpeg", "jpeg"}, RasterSuffix{"png", "png"},
    RasterSuffix{"webp", "webp"}, RasterSuffix{"tif", "tiff"}, RasterSuffix{"tiff", "tiff"},
};

bool carriesRasterFormat(const QByteArray& data, const QByteArray& format)
{
    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    return reader.canRead();
}

LivePhotoError wrongFormat(const QString& path, const StillEncoding& encoding)
{
    const QString expected = encoding.isHeif() ? QStringLiteral("HEIF") : QString::fromLatin1(encoding.rasterFormat);
    return {LivePhotoError::Code::wrongStillFormat, path,
            QStringLiteral("The still ") + path + QStringLiteral(" is not a ") + expected + QStringLiteral(" image")};
}

LivePhotoError undecodable(const QString& path, const QString& why)
{
    return {LivePhotoError::Code::undecodableStill, path,
            QStringLiteral("The still ") + path + QStringLiteral(" cannot be decoded: ") + why};
}

QImage fittedToTarget(QImage bitmap, QSizeF targetSize, ContentMode contentMode)
{
    const bool bounded = std::isfinite(targetSize.width()) && std::isfinite(targetSize.height())
        && targetSize.width() >= 1.0 && targetSize.height() >= 1.0;
    if (!bounded)
        return bitmap;
    const QSize wanted = resizedSize(QSizeF(bitmap.size()), targetSize, contentMode).toSize();
    if (wanted.isEmpty() || wanted.width() > bitmap.width() || wanted.height() > bitmap.height()
        || wanted == bitmap.size())
        return bitmap;
    return bitmap.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

std::optional<StillEncoding> stillEncodingForSuffix(const QString& suffix)
{
    if (suffix == QLatin1String("heic") || suffix == QLatin1String("heif"))
        return StillEncoding{};
    for (const RasterSuffix& raster : rasterSuffixes)
        if (suffix == QLatin1String(raster.suffix))
            return StillEncoding{QByteArray(raster.format)};
    return std::nullopt;
}

std::expected<ImagePtr, LivePhotoError> decodeLivePhotoStill(const QString& path, const StillEncoding& encoding,
                                                             QSizeF targetSize, ContentMode contentMode)
{
    // Encoded bytes beyond the largest bitmap allowed cannot be a sensible still.
    auto file = readFileStart(path, BitmapLimits::maxBitmapBytes, BitmapLimits::maxBitmapBytes);
    if (!file)
        return std::unexpected(std::move(file.error()));
    const QByteArray& data = *file;

    QImage bitmap;
    if (encoding.isHeif()) {
        if (!carriesHeifStillBrand(data))
            return std::unexpected(wrongFormat(path, encoding));
        auto decoded = decodeHeifStill(data);
        if (!decoded)
            return std::unexpected(undecodable(path, decoded.error()));
        bitmap = std::move(*decoded);
    } else {
        if (!carriesRasterFormat(data, encoding.rasterFormat))
            return std::unexpected(wrongFormat(path, encoding));
        const ImagePtr decoded = stillImage(data);
        if (!decoded)
            return std::unexpected(undecodable(path, QStringLiteral("the data is damaged or beyond the decoding limits")));
        bitmap = decoded->bitmap();
    }
    return Image::make(fittedToTarget(std::move(bitmap), targetSize, contentMode));
}

} // namespace Lumen
