#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>

#include <cstdint>
#include <expected>
#include <optional>

namespace Lumen {

// What one page (image file directory) of a TIFF file states about the memory its decoding
// takes: the bitmap, and the strip or tile buffer libtiff reads it through.
struct TIFFPage {
    QSize size;
    int samplesPerPixel = 1;
    // The largest stated.
    int bitsPerSample = 1;
    // Each sample in a plane of its own, read plane by plane.
    bool separatePlanes = false;
    // The tile size of a tiled page; none for a page in strips.
    std::optional<QSize> tileSize;
    // Rows in each strip of a page in strips, at most its height.
    std::int64_t rowsPerStrip = 0;
};

enum class TIFFError {
    notTIFF,
    // The first page cannot be read, or states no size, a tile side of 0 or a negative number.
    malformed,
};

// The most pages walked; a reader reaches none beyond them through the library.
inline constexpr int maxTIFFPages = 4096;

// Walks the chain of image file directories of classic TIFF data, without decoding anything.
// The first page must be readable; later pages are walked while they can be read and until
// the chain ends, loops back or reaches maxTIFFPages. Reads never leave the data.
std::expected<QList<TIFFPage>, TIFFError> walkTIFFDirectories(const QByteArray& data);

} // namespace Lumen
