#pragma once

#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/ImageCreatingOptions.h"

#include <QByteArray>
#include <QSizeF>

namespace Lumen {

// Decoding of encoded bytes. PNG, JPEG, GIF, WebP, BMP, TIFF and ICO are decoded, and only when
// their structure lets the decoder's memory be bounded first (see boundedDecoding). Every
// function answers null for bytes that are not such an image, that would decode beyond
// BitmapLimits (accounted from their structure, every page, frame and icon included, before
// any decoder runs) or whose decoding runs out of memory. EXIF orientation is applied. Safe on any thread.

// GIF data becomes an animated image (see animatedImage); other data a still image (the
// first frame of an animated WebP).
// The options' scale is not applied: decoded images are declared at scale 1.
ImagePtr imageFromData(const QByteArray& data, const ImageCreatingOptions& options);

// The first image in `data`, whichever of the formats it is.
ImagePtr stillImage(const QByteArray& data);

// A thumbnail whose longer side is at most max(width, height) of `pointSize` times `scale`
// pixels, decoded directly at that size where the format allows (JPEG); never enlarged.
// Null as well when that bound is not a positive, finite number of pixels.
ImagePtr downsampledImage(const QByteArray& data, QSizeF pointSize, double scale);

} // namespace Lumen
