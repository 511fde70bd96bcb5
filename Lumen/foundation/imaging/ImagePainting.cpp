#include "Lumen/foundation/imaging/ImagePainting.h"

#include "Lumen/foundation/RoundedRectPath.h"
#include "Lumen/foundation/imaging/BitmapContext.h"
#include "Lumen/foundation/imaging/BitmapLimits.h"

#include <algorithm>
#include <cmath>

namespace Lumen {

namespace {

bool hasBitmap(const ImagePtr& image)
{
    return image && image->hasBitmap();
}

QRectF pixelRect(const ImagePtr& image)
{
    return QRectF(QPointF(0, 0), QSizeF(image->pixelSize()));
}

} // namespace

ImagePtr composited(const ImagePtr& image, CompositingOperation operation, double alpha,
                    std::optional<QColor> backgroundColor)
{
    if (!hasBitmap(image))
        return image;
    QImage canvas = makeBitmapContext(QSizeF(image->pixelSize()));
    if (canvas.isNull())
        return image;
    if (backgroundColor && backgroundColor->isValid()) {
        QPainter painter(&canvas);
        painter.fillRect(canvas.rect(), *backgroundColor);
    }
    compositeImage(canvas, image->bitmap(), operation, alpha);
    return Image::make(std::move(canvas), image->scale());
}

ImagePtr roundedCorners(const ImagePtr& image, Radius radius, QSizeF size, RectCorner corners,
                        std::optional<QColor> backgroundColor)
{
    if (!hasBitmap(image))
        return image;
    const auto pixels = BitmapLimits::pixelSize(size);
    if (!pixels)
        return image;

    // The image is masked on a layer of its own so that the clip edge is antialiased.
    QImage layer = stretchedBitmap(image->bitmap(), *pixels);
    const QRectF rect(QPointF(0, 0), QSizeF(*pixels));
    {
        QImage mask(layer.size(), QImage::Format_ARGB32_Premultiplied);
        mask.fill(Qt::transparent);
        QPainterPath outline = roundedRectPath(rect, corners, radius.value(rect.size()));
        outline.setFillRule(Qt::OddEvenFill);
        QPainter maskPainter(&mask);
        maskPainter.setRenderHint(QPainter::Antialiasing);
        maskPainter.fillPath(outline, Qt::black);
        maskPainter.end();

        // Drawn whole, the mask also clears everything outside the outline.
        QPainter painter(&layer);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.drawImage(0, 0, mask);
    }
    if (!backgroundColor || !backgroundColor->isValid())
        return Image::make(std::move(layer), image->scale());

    // The background lies beneath the whole canvas, so it shows in the cut corners.
    return drawImage(image, rect.size(), [&](QPainter& painter) {
        painter.fillRect(rect, *backgroundColor);
        painter.drawImage(0, 0, layer);
    });
}

ImagePtr roundedCorners(const ImagePtr& image, double cornerRadius, QSizeF size, RectCorner corners,
                        std::optional<QColor> backgroundColor)
{
    return roundedCorners(image, Radius::point(cornerRadius), size, corners, backgroundColor);
}

ImagePtr bordered(const ImagePtr& image, const Border& border)
{
    if (!hasBitmap(image) || !std::isfinite(border.lineWidth) || border.lineWidth < 0 || !border.color.isValid())
        return image;

    const QRectF rect = pixelRect(image);
    return drawImage(image, rect.size(), [&](QPainter& painter) {
        painter.drawImage(rect, image->bitmap());

        const double inset = border.lineWidth * 0.5;
        const QRectF strokeRect = rect.adjusted(inset, inset, -inset, -inset);
        const double radius = border.radius.value(strokeRect.size()) - inset;
        QPainterPath outline = roundedRectPath(strokeRect, border.roundingCorners, radius);
        outline.setFillRule(Qt::OddEvenFill);

        QPen pen(border.color);
        pen.setWidthF(border.lineWidth);
        pen.setCapStyle(Qt::SquareCap);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.strokePath(outline, pen);
    });
}

ImagePtr overlaid(const ImagePtr& image, const QColor& color, double fraction)
{
    if (!hasBitmap(image) || !color.isValid())
        return image;

    const QRectF rect = pixelRect(image);
    return drawImage(image, rect.size(), [&](QPainter& painter) {
        painter.drawImage(rect, image->bitmap());
        if (!(fraction > 0.0))
            return;
        QColor cover = color;
        cover.setAlphaF(static_cast<float>(std::clamp(1.0 - fraction, 0.0, 1.0)));
        painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        painter.fillRect(rect, cover);
    });
}

} // namespace Lumen
