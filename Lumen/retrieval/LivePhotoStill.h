#pragma once

#include "Lumen/foundation/Geometry.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/retrieval/LivePhotoError.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>

#include <expected>
#include <optional>

namespace Lumen {

// How a still file is encoded, as its extension names it.
struct StillEncoding {
    // Qt's reader format of a raster still; empty for HEIF, which libheif decodes.
    QByteArray rasterFormat;

    bool isHeif() const { return rasterFormat.isEmpty(); }
};

// The encoding of a still with the lower-case extension `suffix`; none for other files.
std::optional<StillEncoding> stillEncodingForSuffix(const QString& suffix);

// The still at `path`, refused unless its bytes are of `encoding` (a HEIF still brand in the
// "ftyp" box, or the raster format's own signature). Decoded no larger than `targetSize` asks
// by `contentMode`; never enlarged, and a target without two finite sides of at least one
// pixel keeps the full size. Safe on any thread.
std::expected<ImagePtr, LivePhotoError> decodeLivePhotoStill(const QString& path, const StillEncoding& encoding,
                                                             QSizeF targetSize, ContentMode contentMode);

} // namespace Lumen
