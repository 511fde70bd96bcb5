#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QSize>

#include <expected>
#include <optional>

namespace Lumen {

// What the walker learns about one image of a GIF without decoding its pixels.
struct GIFFrameInfo {
    QRect rect;
    // The frame's delay in seconds exactly as the file states it (hundredths of a second);
    // absent when no graphic control extension precedes the image.
    std::optional<double> delayTime;
    // False when the data ends inside the frame's image data.
    bool complete = false;
};

struct GIFStructure {
    // The size of each decoded frame, as Qt's decoder makes it: the logical screen, a side of
    // which that is 0 taken from the first frame's extent (frames reaching beyond the screen
    // are clipped, not grown into).
    QSize canvasSize;
    QList<GIFFrameInfo> frames;

    // Whether decoding the frames stays within BitmapLimits: Qt decodes every frame onto a
    // full canvas. True when there is nothing to decode (no frames, or an empty canvas).
    bool fitsBitmapLimits() const;
};

enum class GIFStructureError { notGIF, truncatedHeader };

// Walks the blocks of GIF data for frame count and timing; Qt's decoder normalises delays,
// so they are read here. Walking stops at the trailer, at the end of the data or at a byte
// that starts no known block; the frames seen up to there are reported. A graphic control
// extension too short to hold a delay is skipped like any other extension. Reads never leave
// the data, whatever it claims.
std::expected<GIFStructure, GIFStructureError> walkGIFBlocks(const QByteArray& data);

} // namespace Lumen
