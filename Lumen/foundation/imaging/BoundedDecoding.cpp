#include "Lumen/foundation/imaging/BoundedDecoding.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/foundation/imaging/GIFBlockWalker.h"
#include "Lumen/foundation/imaging/ImageFormat.h"
#include "Lumen/foundation/imaging/JPEGFrameHeader.h"
#include "Lumen/foundation/imaging/PNGChunkWalker.h"

namespace Lumen {

namespace {

bool boundedJPEG(const QByteArray& data)
{
    const auto header = readJPEGFrameHeader(data);
    return header && (!header->buffersWholeImage() || header->coefficientBytes() <= BitmapLimits::maxCoefficientBytes);
}

bool boundedGIF(const QByteArray& data)
{
    const auto structure = walkGIFBlocks(data);
    return structure && structure->fitsBitmapLimits();
}

// Raster formats whose header states the bitmap size, told by their signatures.
std::optional<QByteArray> declaringFormat(const QByteArray& data)
{
    if (data.startsWith("RIFF") && data.mid(8, 4) == "WEBP")
        return QByteArrayLiteral("webp");
    if (data.startsWith("BM"))
        return QByteArrayLiteral("bmp");
    if (data.startsWith(QByteArrayView("II*\0", 4)) || data.startsWith(QByteArrayView("MM\0*", 4)))
        return QByteArrayLiteral("tiff");
    if (data.startsWith(QByteArrayView("\0\0\1\0", 4)))
        return QByteArrayLiteral("ico");
    return std::nullopt;
}

} // namespace

std::optional<BoundedDecoding> boundedDecoding(const QByteArray& data)
{
    switch (imageFormat(data)) {
    case ImageFormat::PNG:
        if (walkPNGChunks(data))
            return BoundedDecoding{QByteArrayLiteral("png")};
        return std::nullopt;
    case ImageFormat::JPEG:
        if (boundedJPEG(data))
            return BoundedDecoding{QByteArrayLiteral("jpeg")};
        return std::nullopt;
    case ImageFormat::GIF:
        if (boundedGIF(data))
            return BoundedDecoding{QByteArrayLiteral("gif")};
        return std::nullopt;
    case ImageFormat::unknown:
        break;
    }
    if (data.size() <= 8)
        return std::nullopt;
    if (auto format = declaringFormat(data))
        return BoundedDecoding{std::move(*format), true};
    return std::nullopt;
}

} // namespace Lumen
