#pragma once

#include "Lumen/foundation/Image.h"

#include <QImage>
#include <QPainter>
#include <QSizeF>

#include <functional>

namespace Lumen {

// A transparent drawing surface of `size` pixels (each side truncated), premultiplied
// ARGB32. A null QImage when a side is not finite, below one pixel, or beyond BitmapLimits.
QImage makeBitmapContext(QSizeF size);

// Runs `body` with an antialiasing painter on a fresh bitmap context of `size` and answers
// an image of the result with the reference's scale. When no context can be made, the
// reference itself comes back, as every drawing operation's failure rule asks.
ImagePtr drawImage(const ImagePtr& reference, QSizeF size, const std::function<void(QPainter&)>& body);

// `bitmap` stretched to exactly `size` pixels (area-averaged when shrinking), premultiplied.
QImage stretchedBitmap(const QImage& bitmap, QSize size);

} // namespace Lumen
