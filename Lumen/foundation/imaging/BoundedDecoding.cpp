#include "Lumen/foundation/imaging/BoundedDecoding.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/foundation/imaging/GIFBlockWalker.h"
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

} // namespace

std::optional<ImageFormat> boundedDecodingFormat(const QByteArray& data)
{
    const ImageFormat format = imageFormat(data);
    bool bounded = false;
    switch (format) {
    case ImageFormat::PNG:
        bounded = walkPNGChunks(data).has_value();
        break;
    case ImageFormat::JPEG:
        bounded = boundedJPEG(data);
        break;
    case ImageFormat::GIF:
        bounded = boundedGIF(data);
        break;
    case ImageFormat::unknown:
        break;
    }
    if (!bounded)
        return std::nullopt;
    return format;
}

} // namespace Lumen
