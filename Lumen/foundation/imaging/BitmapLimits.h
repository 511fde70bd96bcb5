#pragma once

#include <QSize>
#include <QSizeF>

#include <cstdint>
#include <optional>

namespace Lumen {

// Bounds on the pixel memory of decoding and drawing, so that a few kilobytes of hostile
// data (a decompression bomb) or a nonsensical target size cannot cost gigabytes.
struct BitmapLimits {
    // The largest bitmap (at four bytes per pixel) a decode or a drawing surface may allocate.
    static constexpr std::int64_t maxBitmapBytes = std::int64_t(128) * 1024 * 1024;
    // The most pixels of any bitmap, at four bytes a pixel.
    static constexpr std::int64_t maxPixels = maxBitmapBytes / 4;
    // The longest side of any bitmap.
    static constexpr int maxSide = 32767;
    // The total of decoded frames an eager GIF decode may hold; beyond it frames are
    // decoded on demand through the frame source.
    static constexpr std::int64_t eagerFramesBudgetBytes = std::int64_t(256) * 1024 * 1024;
    // The coefficients a JPEG decoder may hold for the whole image (progressive data), at any
    // output size. Twice the bitmap bound: every JPEG of up to four components whose full-size
    // bitmap is allowed stays within it, so a thumbnail is never refused where the full
    // decode is not.
    static constexpr std::int64_t maxCoefficientBytes = 2 * maxBitmapBytes;
    // The most one decode of any other format may hold at once: its bitmaps (an animation's
    // canvas beside the frame), and the decoder's own pixel, strip or tile buffers.
    static constexpr std::int64_t maxDecodingBytes = 2 * maxBitmapBytes;
    // Decoded frames a frame source keeps so that stepping back does not decode from the
    // first frame again for every step.
    static constexpr std::int64_t frameWindowBudgetBytes = std::int64_t(64) * 1024 * 1024;

    // Whether a bitmap of these pixel dimensions is within the limits (both sides positive).
    static bool allows(QSize pixels);

    // The pixel size of a drawing surface for `size` (each side truncated to whole pixels),
    // or none when a side is not finite, not at least one pixel, or beyond the limits.
    static std::optional<QSize> pixelSize(QSizeF size);

    // Gives Qt's image readers the same allocation limit. Process-wide; idempotent, and
    // called by every decoding entry point of the library before it creates a reader.
    static void applyToImageReaders();
};

} // namespace Lumen
