#include "Lumen/foundation/imaging/ImageResampling.h"

#include "Lumen/foundation/imaging/BitmapContext.h"
#include "Lumen/foundation/imaging/BitmapLimits.h"

#include <QPainter>

#include <cmath>

namespace Lumen {

namespace {

bool hasBitmap(const ImagePtr& image)
{
    return image && image->hasBitmap();
}

bool isAnimated(const Image& image)
{
    return image.images().has_value() || image.frameSource() != nullptr;
}

} // namespace

ImagePtr pixelFixed(const ImagePtr& reference, const QImage& bitmap)
{
    if (!hasBitmap(reference) || bitmap.isNull())
        return reference;
    return Image::make(stretchedBitmap(bitmap, reference->pixelSize()), reference->scale());
}

ImagePtr resized(const ImagePtr& image, QSizeF size)
{
    if (!hasBitmap(image))
        return image;
    const auto pixels = BitmapLimits::pixelSize(size);
    if (!pixels)
        return image;
    return Image::make(stretchedBitmap(image->bitmap(), *pixels), image->scale());
}

ImagePtr resized(const ImagePtr& image, QSizeF size, ContentMode mode)
{
    if (!hasBitmap(image))
        return image;
    return resized(image, resizedSize(QSizeF(image->pixelSize()), size, mode));
}

ImagePtr cropped(const ImagePtr& image, QSizeF size, QPointF anchor)
{
    if (!hasBitmap(image))
        return image;
    const QRect area = constrainedRect(QSizeF(image->pixelSize()), size, anchor).toAlignedRect()
                           .intersected(image->bitmap().rect());
    if (area.isEmpty())
        return image;
    return Image::make(image->bitmap().copy(area), image->scale());
}

ImagePtr scaled(const ImagePtr& image, double factor)
{
    if (!hasBitmap(image) || factor == 1.0 || !std::isfinite(factor) || factor <= 0.0)
        return image;
    return Image::make(image->bitmap(), factor);
}

ImagePtr decoded(const ImagePtr& image, double scale)
{
    if (!hasBitmap(image) || isAnimated(*image))
        return image;
    QImage redrawn = makeBitmapContext(QSizeF(image->pixelSize()));
    if (redrawn.isNull())
        return image;
    {
        QPainter painter(&redrawn);
        painter.drawImage(0, 0, image->bitmap());
    }
    return Image::make(std::move(redrawn), scale);
}

ImagePtr decoded(const ImagePtr& image, QImage& context)
{
    if (!hasBitmap(image) || image->animatedImageData() || context.isNull())
        return image;
    {
        QPainter painter;
        if (!painter.begin(&context))
            return image;
        painter.drawImage(QRect(QPoint(0, 0), image->pixelSize()), image->bitmap());
    }
    return Image::make(context.copy(), image->scale());
}

} // namespace Lumen
