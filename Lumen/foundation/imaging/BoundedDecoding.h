#pragma once

#include <QByteArray>
#include <QSize>

#include <cstdint>
#include <expected>

namespace Lumen {

// How data is to be decoded and what decoding it costs, read from its structure before any
// decoder sees it.
struct BoundedDecoding {
    // Qt's plugin key ("png", "jpeg", "gif", "webp", "bmp", "tiff", "ico").
    QByteArray format;
    // The bitmap a read gives, before scaling and orientation: the first page, frame or icon.
    QSize size;
    // The most the reader holds at once for any page, frame or icon of the data, decoded at
    // full size: bitmaps (eight bytes a pixel for samples of 16 bits), an animation's canvas as
    // often as the reader holds it, the decoder's own pixel, row, strip or tile buffers, JPEG
    // coefficients, the prefix-code tables of lossless WebP, a copy of the data where the
    // reader makes one.
    std::int64_t peakBytes = 0;
};

enum class DecodingRefusal {
    // Not a format the library decodes: formats whose cost no header states (SVG, ICNS...)
    // never reach a decoder.
    unsupportedFormat,
    // A structure that breaks off or contradicts itself: a chunk beyond the data, a frame
    // outside its canvas, an icon larger than its directory states...
    malformed,
    // Decoding would hold more than BitmapLimits allow.
    beyondBudget,
};

// PNG, JPEG, GIF, WebP, BMP, TIFF and ICO, each walked as far as decoding it costs: every
// chunk of PNG data (also a PNG inside an icon), JPEG markers up to the first scan, GIF
// blocks, WebP chunks and every frame's bitstream up to where a lossless one names its groups
// of prefix codes (alpha planes included), every TIFF page, every icon.
// Every bitmap is within BitmapLimits::allows, and the peak within
// BitmapLimits::maxDecodingBytes, so a read may hold the full bitmap before it scales. A JPEG,
// which libjpeg decodes at the size the read asks, is bounded here by its coefficients
// (BitmapLimits::maxCoefficientBytes) only: the bitmap asked for is the caller's to bound.
std::expected<BoundedDecoding, DecodingRefusal> boundedDecoding(const QByteArray& data);

} // namespace Lumen
