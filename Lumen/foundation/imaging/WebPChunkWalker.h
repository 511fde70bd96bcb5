#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QSize>

#include <expected>

namespace Lumen {

// Where a chunk's payload lies in the data.
struct WebPPayload {
    qsizetype offset = 0;
    qsizetype size = 0;
};

// One bitmap a WebP decoder makes: the picture of a still, or one frame of an animation, where
// it lies on the canvas at the size its bitstream states.
struct WebPImage {
    QRect rect;
    bool lossless = false;
    // The bitstream, its header included.
    WebPPayload bitstream;
    // The alpha planes given beside a lossy bitstream, each one the decoder may decode.
    QList<WebPPayload> alphaPlanes;
};

struct WebPStructure {
    QSize canvas;
    // Frames of an animation are composed onto a canvas bitmap that lives beside them.
    bool animated = false;
    // In file order; a still has exactly one, covering the canvas.
    QList<WebPImage> images;
    // The chunks of the file, each of which a reader's index of the file records.
    qsizetype chunkCount = 0;
};

enum class WebPError {
    notWebP,
    // A chunk beyond the data or the RIFF size, a bitstream header libwebp refuses, a frame
    // outside the canvas, a still whose picture is not the canvas, or no picture at all.
    malformed,
};

// Walks the RIFF chunks of WebP data and reads the header of every bitstream in it, frames
// of an animation included, without decoding any. Reads never leave the data.
std::expected<WebPStructure, WebPError> walkWebPChunks(const QByteArray& data);

} // namespace Lumen
