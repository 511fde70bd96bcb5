#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>

#include "Lumen/foundation/imaging/PNGChunkWalker.h"

#include <cstdint>
#include <expected>
#include <optional>

namespace Lumen {

// One image of an ICO file: the bitmap a decoder makes for it.
struct ICOImage {
    QSize size;
    // The header of the PNG stream it holds (decoded by the PNG decoder); none for a bitmap.
    std::optional<PNGHeader> png;
    // The bytes its directory entry names, which a reader copies to decode a PNG stream.
    qsizetype encodedBytes = 0;

    // The bytes a pixel of the bitmap it is decoded into takes.
    std::int64_t bitmapBytesPerPixel() const { return png ? png->bitmapBytesPerPixel() : 4; }
};

enum class ICOError {
    notICO,
    // The directory is cut off or empty, an image lies beyond the data, or the images
    // together claim more bytes than the data holds.
    malformed,
    // An image that is neither a PNG stream whose chunks pass the walk nor a readable bitmap
    // of at most 256 x 256 pixels.
    brokenImage,
    // A PNG stream larger than its directory entry states: the entry is what readers of the
    // file are told.
    largerThanStated,
};

// Walks the directory of an icon file and looks into every image it lists: Qt decodes a PNG
// stream in an icon with its own PNG reader, which the library's checks of bare PNG data
// never see, so each stream is walked here as a bare PNG would be. Answers the images in
// directory order; a read decodes the first.
std::expected<QList<ICOImage>, ICOError> walkICODirectory(const QByteArray& data);

} // namespace Lumen
