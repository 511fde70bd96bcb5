#include "Lumen/foundation/LumenWrapper.h"

#include "Lumen/foundation/imaging/ImageBlur.h"
#include "Lumen/foundation/imaging/ImageEncoding.h"
#include "Lumen/foundation/imaging/ImageFilter.h"
#include "Lumen/foundation/imaging/ImageFormat.h"
#include "Lumen/foundation/imaging/ImagePainting.h"
#include "Lumen/foundation/imaging/ImageResampling.h"

namespace Lumen {

ImageFormat LumenWrapper<QByteArray>::imageFormat() const
{
    return Lumen::imageFormat(base());
}

bool LumenWrapper<QByteArray>::contains(JPEGMarker marker) const
{
    return containsJPEGMarker(base(), marker);
}

QSize LumenWrapper<ImagePtr>::pixelSize() const
{
    return base() ? base()->pixelSize() : QSize(0, 0);
}

std::optional<QByteArray> LumenWrapper<ImagePtr>::pngRepresentation() const
{
    return Lumen::pngRepresentation(base());
}

std::optional<QByteArray> LumenWrapper<ImagePtr>::jpegRepresentation(double compressionQuality) const
{
    return Lumen::jpegRepresentation(base(), compressionQuality);
}

std::optional<QByteArray> LumenWrapper<ImagePtr>::gifRepresentation() const
{
    return Lumen::gifRepresentation(base());
}

std::optional<QByteArray> LumenWrapper<ImagePtr>::data(ImageFormat format, double compressionQuality) const
{
    return encodedData(base(), format, compressionQuality);
}

ImagePtr LumenWrapper<ImagePtr>::pixelFixed(const QImage& bitmap) const
{
    return Lumen::pixelFixed(base(), bitmap);
}

ImagePtr LumenWrapper<ImagePtr>::composited(CompositingOperation operation, double alpha,
                                            std::optional<QColor> backgroundColor) const
{
    return Lumen::composited(base(), operation, alpha, backgroundColor);
}

ImagePtr LumenWrapper<ImagePtr>::roundedCorners(Radius radius, QSizeF size, RectCorner corners,
                                                std::optional<QColor> backgroundColor) const
{
    return Lumen::roundedCorners(base(), radius, size, corners, backgroundColor);
}

ImagePtr LumenWrapper<ImagePtr>::roundedCorners(double cornerRadius, QSizeF size, RectCorner corners,
                                                std::optional<QColor> backgroundColor) const
{
    return Lumen::roundedCorners(base(), cornerRadius, size, corners, backgroundColor);
}

ImagePtr LumenWrapper<ImagePtr>::bordered(const Border& border) const
{
    return Lumen::bordered(base(), border);
}

ImagePtr LumenWrapper<ImagePtr>::resized(QSizeF size) const
{
    return Lumen::resized(base(), size);
}

ImagePtr LumenWrapper<ImagePtr>::resized(QSizeF size, ContentMode mode) const
{
    return Lumen::resized(base(), size, mode);
}

ImagePtr LumenWrapper<ImagePtr>::cropped(QSizeF size, QPointF anchor) const
{
    return Lumen::cropped(base(), size, anchor);
}

ImagePtr LumenWrapper<ImagePtr>::blurred(double radius) const
{
    return Lumen::blurred(base(), radius);
}

ImagePtr LumenWrapper<ImagePtr>::overlaid(const QColor& color, double fraction) const
{
    return Lumen::overlaid(base(), color, fraction);
}

ImagePtr LumenWrapper<ImagePtr>::scaled(double factor) const
{
    return Lumen::scaled(base(), factor);
}

ImagePtr LumenWrapper<ImagePtr>::decoded(double scale) const
{
    return Lumen::decoded(base(), scale);
}

ImagePtr LumenWrapper<ImagePtr>::decoded(QImage& context) const
{
    return Lumen::decoded(base(), context);
}

ImagePtr LumenWrapper<ImagePtr>::applying(const Filter& filter) const
{
    return Lumen::applying(base(), filter);
}

ImagePtr LumenWrapper<ImagePtr>::tinted(const QColor& color) const
{
    return Lumen::tinted(base(), color);
}

ImagePtr LumenWrapper<ImagePtr>::colorAdjusted(double brightness, double contrast, double saturation,
                                               double inputEV) const
{
    return Lumen::colorAdjusted(base(), brightness, contrast, saturation, inputEV);
}

} // namespace Lumen
