#pragma once

#include <QByteArray>
#include <QSize>

#include <cstdint>
#include <expected>

namespace Lumen {

enum class PNGChunkError {
    notPNG,
    // A chunk declares more bytes than the data holds (a cut-off file or a lie).
    chunkBeyondData,
    // A chunk that only carries metadata (text, profiles...) is larger than any image needs.
    oversizedAncillaryChunk,
    // The first chunk is not an image header stating a size libpng accepts.
    badHeader,
};

// The largest ancillary chunk accepted; ICC profiles and XMP text stay well below it.
inline constexpr std::uint32_t maxAncillaryPNGChunkBytes = 4 * 1024 * 1024;

// What the image header states.
struct PNGHeader {
    QSize size;
    int bitDepth = 8;

    // Qt keeps samples of 16 bits in eight bytes a pixel, all others in at most four.
    std::int64_t bitmapBytesPerPixel() const { return bitDepth == 16 ? 8 : 4; }
};

// Checks the chunk layout of PNG data up to its end chunk before libpng sees it: libpng
// allocates (and zeroes) the length a chunk declares before it finds out the bytes are not
// there, so a few dozen bytes could otherwise cost gigabytes. Answers what the image header
// states. Checksums and the contents of other chunks are left to libpng.
std::expected<PNGHeader, PNGChunkError> walkPNGChunks(const QByteArray& data);

} // namespace Lumen
