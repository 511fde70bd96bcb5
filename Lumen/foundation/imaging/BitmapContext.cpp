#include "Lumen/foundation/imaging/BitmapContext.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"

namespace Lumen {

QImage makeBitmapContext(QSizeF size)
{
    const auto pixels = BitmapLimits::pixelSize(size);
    if (!pixels)
        return QImage();
    QImage context(*pixels, QImage::Format_ARGB32_Premultiplied);
    if (context.isNull())
        return context;
    context.fill(Qt::transparent);
    return context;
}

ImagePtr drawImage(const ImagePtr& reference, QSizeF size, const std::function<void(QPainter&)>& body)
{
    QImage context = makeBitmapContext(size);
    if (context.isNull())
        return reference;
    {
        QPainter painter(&context);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        body(painter);
    }
    return Image::make(std::move(context), reference ? reference->scale() : 1.0);
}

QImage stretchedBitmap(const QImage& bitmap, QSize size)
{
    const QImage resampled =
        bitmap.size() == size ? bitmap : bitmap.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return resampled.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace Lumen
