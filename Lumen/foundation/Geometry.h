#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace Lumen {

// How an image's size is brought to a target size.
enum class ContentMode { none, aspectFit, aspectFill };

// Size arithmetic of resizing. Results are rounded to whole numbers (halves away from zero).
// A size of zero height has no aspect and counts as square; one of zero width has the aspect 0,
// so it fits as a line of the target's height and fills nothing finite. Any non-finite input, or
// a result too large to be finite, gives an empty size (0 x 0) instead of infinities or NaN.

// The largest size of the receiver's aspect that fits into `target`.
QSizeF constrainedSize(QSizeF size, QSizeF target);
// The smallest size of the receiver's aspect that covers `target`.
QSizeF fillingSize(QSizeF size, QSizeF target);
// `target` for `none`, otherwise the fitted or filling size.
QSizeF resizedSize(QSizeF size, QSizeF target, ContentMode mode);

// The crop rectangle of `wanted` size inside a whole image of `size`, placed by `anchor`
// ((0, 0) keeps the top-left corner, (0.5, 0.5) centres, (1, 1) keeps the bottom-right).
// Anchor coordinates are clamped into 0...1 (NaN counts as 0); the answer never reaches
// outside the image. Non-finite sizes give an empty rectangle.
QRectF constrainedRect(QSizeF size, QSizeF wanted, QPointF anchor);

} // namespace Lumen
