#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QSize>

#include <expected>

namespace Lumen {

// One bitmap a WebP decoder makes: the picture of a still, or one frame of an animation, where
// it lies on the canvas at the size its bitstream states.
struct WebPImage {
    QRect rect;
    // Lossless bitstreams, and alpha planes (which are coded losslessly), are decoded through
    // a buffer of four bytes a pixel of their own.
    bool lossless = false;
    bool alpha = false;
};

struct WebPStructure {
    QSize canvas;
    // Frames of an animation are composed onto a canvas bitmap that lives beside them.
    bool animated = false;
    // In file order; a still has exactly one, covering the canvas.
    QList<WebPImage> images;
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
