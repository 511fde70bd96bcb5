#include "Lumen/foundation/imaging/BoundedDecoding.h"

#include "Lumen/foundation/imaging/BMPInfoHeader.h"
#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/foundation/imaging/GIFBlockWalker.h"
#include "Lumen/foundation/imaging/ICODirectory.h"
#include "Lumen/foundation/imaging/ImageFormat.h"
#include "Lumen/foundation/imaging/JPEGFrameHeader.h"
#include "Lumen/foundation/imaging/LosslessDecodingCost.h"
#include "Lumen/foundation/imaging/PNGChunkWalker.h"
#include "Lumen/foundation/imaging/TIFFDirectoryWalker.h"
#include "Lumen/foundation/imaging/WebPChunkWalker.h"

#include <algorithm>
#include <bit>

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

// What a reader's copy of `size` bytes takes: a block the next power of two large.
std::int64_t copiedBytes(qsizetype size)
{
    return std::int64_t(std::bit_ceil(std::uint64_t(size) + 64));
}

// `peakBytes` is the most costly page, frame or icon; each bitmap is already within the limits.
Decoding planned(QByteArray format, QSize size, std::int64_t peakBytes)
{
    if (peakBytes > BitmapLimits::maxDecodingBytes)
        return refused(DecodingRefusal::beyondBudget);
    return BoundedDecoding{std::move(format), size, peakBytes};
}

// libpng keeps two rows and its inflater's window and state beside the bitmap.
std::int64_t pngDecoderBytes(const PNGHeader& header)
{
    constexpr std::int64_t inflaterBytes = 64 * 1024;
    return 2 * bitmapBytes(QSize(header.size.width(), 1), header.bitmapBytesPerPixel()) + inflaterBytes;
}

Decoding pngDecoding(const QByteArray& data)
{
    const auto header = walkPNGChunks(data);
    if (!header)
        return refused(DecodingRefusal::malformed);
    const std::int64_t bitmap = bitmapBytes(header->size, header->bitmapBytesPerPixel());
    if (!BitmapLimits::allows(header->size) || bitmap > BitmapLimits::maxBitmapBytes)
        return refused(DecodingRefusal::beyondBudget);
    return planned(QByteArrayLiteral("png"), header->size, bitmap + pngDecoderBytes(*header));
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

// libwebp's lossy decoder keeps a few rows of macroblocks beside the bitmap: its caches for
// filtering, a row's coefficients and predictions; at most this much per pixel of width.
constexpr std::int64_t lossyBytesPerColumn = 128;
constexpr std::int64_t lossyFixedBytes = 8 * 1024;
constexpr qsizetype losslessHeaderBytes = 5;
// An alpha plane's header byte: how the plane is compressed (none, or losslessly), whether it
// was reduced in levels, and two reserved bits; the decoder refuses other values.
constexpr int alphaCompressionMask = 0x03;
constexpr int alphaLossless = 1;
constexpr int alphaLevelsShift = 4;
constexpr int alphaReservedShift = 6;
// A reader of WebP data first copies it whole, then indexes it: one record per chunk. Its own state, and that of the painter that composes
// an animation's frames, stay within a few kilobytes.
constexpr std::int64_t indexBytesPerChunk = 128;
constexpr std::int64_t webpReaderStateBytes = 64 * 1024;

// The work the accounting of one file may do along the way, in pixels of the images of
// lossless transforms and entropy images and in symbols of the codes they are given in: far
// more than any encoder writes, little enough that data of a few bytes a frame cannot keep
// it busy for long.
constexpr std::int64_t maxLosslessWork = 2 * BitmapLimits::maxPixels;

using Bytes = std::expected<std::int64_t, DecodingRefusal>;

// What decoding an alpha plane of `size` holds besides the plane itself.
Bytes alphaPlaneBytes(QByteArrayView plane, QSize size, std::int64_t& workLeft)
{
    if (plane.isEmpty())
        return std::unexpected(DecodingRefusal::malformed);
    const int header = std::uint8_t(plane.front());
    const int compression = header & alphaCompressionMask;
    if (compression > alphaLossless || (header >> alphaLevelsShift & 0x03) > 1 || header >> alphaReservedShift != 0)
        return std::unexpected(DecodingRefusal::malformed);
    return compression == alphaLossless ? losslessDecodingBytes(plane.sliced(1), size, workLeft) : Bytes(0);
}

// What a decoder may hold of a frame before it finds its bitstream broken: less than its
// pixels (the images of a lossless stream's transforms), or a lossy frame's rows and alpha
// planes with as much again.
std::int64_t refusedFrameBytes(QSize size)
{
    return bitmapBytes(size) + 2 * std::int64_t(size.width()) * size.height() + lossyBytesPerColumn * size.width()
           + lossyFixedBytes;
}

// What decoding one picture or frame holds besides the bitmap it is decoded into.
Bytes webpImageBytes(const QByteArray& data, const WebPImage& image, std::int64_t& workLeft)
{
    const QSize size = image.rect.size();
    const auto payload = [&data](const WebPPayload& chunk) { return QByteArrayView(data).sliced(chunk.offset, chunk.size); };
    if (image.lossless)
        return losslessDecodingBytes(payload(image.bitstream).sliced(losslessHeaderBytes), size, workLeft);
    std::int64_t bytes = lossyBytesPerColumn * size.width() + lossyFixedBytes;
    if (image.alphaPlanes.isEmpty())
        return bytes;
    std::int64_t largestPlane = 0;
    for (const WebPPayload& plane : image.alphaPlanes) {
        const Bytes planeBytes = alphaPlaneBytes(payload(plane), size, workLeft);
        if (!planeBytes)
            return planeBytes;
        largestPlane = std::max(largestPlane, *planeBytes);
    }
    // The plane is held twice a byte a pixel: in the frame's own memory, and decoded apart.
    return bytes + 2 * std::int64_t(size.width()) * size.height() + largestPlane;
}

// Each frame is decoded into a bitmap of its own; an animation composes its frames onto a
// canvas, which the reader holds twice once a frame is drawn on it.
Decoding webpDecoding(const QByteArray& data)
{
    const auto structure = walkWebPChunks(data);
    if (!structure)
        return refused(DecodingRefusal::malformed);
    if (!BitmapLimits::allows(structure->canvas))
        return refused(DecodingRefusal::beyondBudget);
    const std::int64_t canvas = bitmapBytes(structure->canvas);
    std::int64_t workLeft = maxLosslessWork;
    std::int64_t peak = 0;
    for (const WebPImage& image : structure->images) {
        Bytes decoding = webpImageBytes(data, image, workLeft);
        // A read shows the first picture. A later frame whose bitstream the decoder refuses
        // takes the whole data with it only if some reader gets that far, and then costs no
        // more than what a decoder reads before it gives up.
        if (!decoding && decoding.error() == DecodingRefusal::malformed && &image != &structure->images.front())
            decoding = refusedFrameBytes(image.rect.size());
        if (!decoding)
            return refused(decoding.error());
        const std::int64_t frame = bitmapBytes(image.rect.size());
        peak = std::max(peak, structure->animated ? std::max(canvas + frame + *decoding, 2 * canvas + frame)
                                                  : frame + *decoding);
    }
    peak += copiedBytes(data.size()) + indexBytesPerChunk * structure->chunkCount + webpReaderStateBytes;
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
        const std::int64_t bitmap = bitmapBytes(image.size, image.bitmapBytesPerPixel());
        if (!BitmapLimits::allows(image.size) || bitmap > BitmapLimits::maxBitmapBytes)
            return refused(DecodingRefusal::beyondBudget);
        // A PNG stream is copied out of the file, then decoded as bare PNG data.
        const std::int64_t decoder = image.png ? copiedBytes(image.encodedBytes) + pngDecoderBytes(*image.png) : 0;
        peak = std::max(peak, bitmap + decoder);
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
