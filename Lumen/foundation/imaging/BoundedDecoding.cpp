#include "Lumen/foundation/imaging/BoundedDecoding.h"

#include "Lumen/foundation/imaging/BMPInfoHeader.h"
#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/foundation/imaging/GIFBlockWalker.h"
#include "Lumen/foundation/imaging/ICODirectory.h"
#include "Lumen/foundation/imaging/ImageFormat.h"
#include "Lumen/foundation/imaging/JPEGFrameHeader.h"
#include "Lumen/foundation/imaging/PNGChunkWalker.h"
#include "Lumen/foundation/imaging/TIFFDirectoryWalker.h"
#include "Lumen/foundation/imaging/WebPChunkWalker.h"

#include <algorithm>

namespace Lumen {

namespace {

using Decoding = std::expected<BoundedDecoding, DecodingRefusal>;

constexpr std::int64_t argbBytesPerPixel = 4;
constexpr std::size_t bmpFileHeaderBytes = 14;

std::int64_t bitmapBytes(QSize size, std::int64_t bytesPerPixel = argbBytesPerPixel)
{
    return std::int64_t(size.width()) * size.height() * bytesPerPixel;
}

std::unexpected<DecodingRefusal> refused(DecodingRefusal refusal)
{
    return std::unexpected(refusal);
}

// `peakBytes` is the most costly page, frame or icon; each bitmap is already within the limits.
Decoding planned(QByteArray format, QSize size, std::int64_t peakBytes)
{
    if (peakBytes > BitmapLimits::maxDecodingBytes)
        return refused(DecodingRefusal::beyondBudget);
    return BoundedDecoding{std::move(format), size, peakBytes};
}

Decoding pngDecoding(const QByteArray& data)
{
    const auto size = walkPNGChunks(data);
    if (!size)
        return refused(DecodingRefusal::malformed);
    if (!BitmapLimits::allows(*size))
        return refused(DecodingRefusal::beyondBudget);
    return planned(QByteArrayLiteral("png"), *size, bitmapBytes(*size));
}

Decoding jpegDecoding(const QByteArray& data)
{
    const auto header = readJPEGFrameHeader(data);
    if (!header || header->size.isEmpty())
        return refused(DecodingRefusal::malformed);
    const std::int64_t coefficients = header->buffersWholeImage() ? header->coefficientBytes() : 0;
    if (coefficients > BitmapLimits::maxCoefficientBytes)
        return refused(DecodingRefusal::beyondBudget);
    return BoundedDecoding{QByteArrayLiteral("jpeg"), header->size, bitmapBytes(header->size) + coefficients};
}

// Qt decodes every frame onto a full canvas, and keeps the previous one for disposal.
Decoding gifDecoding(const QByteArray& data)
{
    const auto structure = walkGIFBlocks(data);
    if (!structure || structure->frames.isEmpty())
        return refused(DecodingRefusal::malformed);
    if (!BitmapLimits::allows(structure->canvasSize))
        return refused(DecodingRefusal::beyondBudget);
    return planned(QByteArrayLiteral("gif"), structure->canvasSize, 2 * bitmapBytes(structure->canvasSize));
}

// Each frame is decoded into a bitmap of its own, through a buffer of the same size for a
// lossless bitstream or an alpha plane; an animation composes its frames onto a canvas.
Decoding webpDecoding(const QByteArray& data)
{
    const auto structure = walkWebPChunks(data);
    if (!structure)
        return refused(DecodingRefusal::malformed);
    if (!BitmapLimits::allows(structure->canvas))
        return refused(DecodingRefusal::beyondBudget);
    const std::int64_t canvas = structure->animated ? bitmapBytes(structure->canvas) : 0;
    std::int64_t peak = 0;
    for (const WebPImage& image : structure->images) {
        const std::int64_t frame = bitmapBytes(image.rect.size());
        peak = std::max(peak, canvas + frame + (image.lossless || image.alpha ? frame : 0));
    }
    // A read of an animation gives the canvas with the first frame composed onto it.
    const QSize read = structure->animated ? structure->canvas : structure->images.front().rect.size();
    return planned(QByteArrayLiteral("webp"), read, peak);
}

Decoding bmpDecoding(const QByteArray& data)
{
    const auto size = readBMPInfoHeader(data, bmpFileHeaderBytes);
    if (!size)
        return refused(DecodingRefusal::malformed);
    if (!BitmapLimits::allows(*size))
        return refused(DecodingRefusal::beyondBudget);
    return planned(QByteArrayLiteral("bmp"), *size, bitmapBytes(*size));
}

// Qt keeps deep samples: 16 bits a channel in eight bytes a pixel, floats in sixteen.
std::int64_t tiffBytesPerPixel(int bitsPerSample)
{
    return bitsPerSample <= 8 ? 4 : bitsPerSample <= 16 ? 8 : 16;
}

std::int64_t ceilDiv(std::int64_t value, std::int64_t divisor)
{
    return (value + divisor - 1) / divisor;
}

// Whether the page's numbers are ones the arithmetic below holds without overflow: sides
// within the bitmap limits, and no more samples or bits than any picture has.
bool tiffPageFits(const TIFFPage& page)
{
    constexpr int maxSamples = 64;
    return BitmapLimits::allows(page.size) && page.samplesPerPixel <= maxSamples && page.bitsPerSample <= maxSamples
           && (!page.tileSize || BitmapLimits::allows(*page.tileSize));
}

// The bitmap, the strip or tile buffer libtiff reads into (one for each plane of a page
// whose samples lie in planes of their own), and its table of strip or tile offsets and
// byte counts, eight bytes each.
std::int64_t tiffPageBytes(const TIFFPage& page)
{
    const std::int64_t planes = page.separatePlanes ? page.samplesPerPixel : 1;
    const std::int64_t samplesInBuffer = page.separatePlanes ? 1 : page.samplesPerPixel;
    const auto rowBytes = [&](std::int64_t width) { return ceilDiv(width * samplesInBuffer * page.bitsPerSample, 8); };
    std::int64_t buffer = 0;
    std::int64_t pieces = 0;
    if (page.tileSize) {
        buffer = rowBytes(page.tileSize->width()) * page.tileSize->height();
        pieces = ceilDiv(page.size.width(), page.tileSize->width()) * ceilDiv(page.size.height(), page.tileSize->height());
    } else {
        buffer = rowBytes(page.size.width()) * page.rowsPerStrip;
        pieces = ceilDiv(page.size.height(), page.rowsPerStrip);
    }
    return bitmapBytes(page.size, tiffBytesPerPixel(page.bitsPerSample)) + planes * (buffer + pieces * 16);
}

Decoding tiffDecoding(const QByteArray& data)
{
    const auto pages = walkTIFFDirectories(data);
    if (!pages)
        return refused(DecodingRefusal::malformed);
    std::int64_t peak = 0;
    for (const TIFFPage& page : *pages) {
        if (!tiffPageFits(page))
            return refused(DecodingRefusal::beyondBudget);
        peak = std::max(peak, tiffPageBytes(page));
    }
    return planned(QByteArrayLiteral("tiff"), pages->front().size, peak);
}

Decoding icoDecoding(const QByteArray& data)
{
    const auto images = walkICODirectory(data);
    if (!images)
        return refused(DecodingRefusal::malformed);
    std::int64_t peak = 0;
    for (const ICOImage& image : *images) {
        if (!BitmapLimits::allows(image.size))
            return refused(DecodingRefusal::beyondBudget);
        peak = std::max(peak, bitmapBytes(image.size));
    }
    return planned(QByteArrayLiteral("ico"), images->front().size, peak);
}

} // namespace

std::expected<BoundedDecoding, DecodingRefusal> boundedDecoding(const QByteArray& data)
{
    switch (imageFormat(data)) {
    case ImageFormat::PNG:
        return pngDecoding(data);
    case ImageFormat::JPEG:
        return jpegDecoding(data);
    case ImageFormat::GIF:
        return gifDecoding(data);
    case ImageFormat::unknown:
        break;
    }
    if (data.startsWith("RIFF") && data.mid(8, 4) == "WEBP")
        return webpDecoding(data);
    if (data.startsWith("BM"))
        return bmpDecoding(data);
    if (data.startsWith(QByteArrayView("II*\0", 4)) || data.startsWith(QByteArrayView("MM\0*", 4)))
        return tiffDecoding(data);
    if (data.startsWith(QByteArrayView("\0\0\1\0", 4)))
        return icoDecoding(data);
    return refused(DecodingRefusal::unsupportedFormat);
}

} // namespace Lumen
