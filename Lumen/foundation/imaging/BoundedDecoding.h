#pragma once

#include "Lumen/foundation/imaging/ImageFormat.h"

#include <QByteArray>

#include <optional>

namespace Lumen {

// The format to decode data as, when the decoder's memory can be bounded before it starts.
// Only the raster formats the library checks are decoded: PNG whose chunks all lie within
// the data and carry no oversized metadata, JPEG whose whole-image coefficients fit
// BitmapLimits::maxCoefficientBytes, GIF whose canvas fits BitmapLimits. None for any other
// data. Bitmap sizes are bounded later, by the reader (ImageDataReader).
std::optional<ImageFormat> boundedDecodingFormat(const QByteArray& data);

} // namespace Lumen
