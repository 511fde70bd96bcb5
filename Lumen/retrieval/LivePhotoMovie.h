#pragma once

#include "Lumen/retrieval/LivePhotoError.h"

#include <QSize>
#include <QString>

#include <expected>

namespace Lumen {

// What a live photo needs to know of its movie.
struct LivePhotoMovieFacts {
    // Seconds; always positive.
    double duration = 0;
    // The video track's display size in pixels, its rotation applied.
    QSize size;
    // Clockwise degrees (0, 90, 180 or 270) that turn a stored frame upright.
    int rotation = 0;
};

// Whether a file with the lower-case extension `suffix` is a live photo's movie.
bool isLivePhotoMovieSuffix(const QString& suffix);

// Probes the movie at `path` with `openMovie` and the QuickTime/MP4 demuxer alone, after
// checking the container's brand: a downloaded file can make FFmpeg open neither another
// demuxer nor another file or URL, nor decode a frame beyond the bitmap budget. Safe on any
// thread.
std::expected<LivePhotoMovieFacts, LivePhotoError> probeLivePhotoMovie(const QString& path);

} // namespace Lumen
