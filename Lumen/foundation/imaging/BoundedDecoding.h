#pragma once

#include <QByteArray>

#include <optional>

namespace Lumen {

// How data is to be decoded, when the decoder's memory can be bounded before it starts.
struct BoundedDecoding {
    // Qt's plugin key ("png", "jpeg", "gif", "webp", "bmp", "tiff", "ico").
    QByteArray format;
    // Whether the reader must state the bitmap size before decoding. The formats the library
    // walks itself are bounded by that walk; the others only by the size their header declares.
    bool needsDeclaredSize = false;
};

// PNG whose chunks all lie within the data and carry no oversized metadata, JPEG whose
// whole-image coefficients fit BitmapLimits::maxCoefficientBytes, GIF whose canvas fits
// BitmapLimits, and WebP, BMP, TIFF and ICO told by their signatures. None for any other
// data: formats whose cost no header states (SVG, ICNS...) never reach a decoder. Bitmap sizes
// are bounded later, by the reader (ImageDataReader).
std::optional<BoundedDecoding> boundedDecoding(const QByteArray& data);

} // namespace Lumen
