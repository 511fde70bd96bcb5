#pragma once

#include "Lumen/foundation/UnderlyingError.h"
#include "Lumen/retrieval/MediaTime.h"
#include "Lumen/retrieval/MovieOpening.h"

#include <QImage>
#include <QUrl>

#include <expected>
#include <functional>

namespace Lumen {

// The most packets read for one frame, so a damaged or endless file cannot keep a decode going.
inline constexpr int maxPacketsPerFrame = 4096;

// The frame of the movie file at `url` shown at `time`: the last one starting at or before it
// (the first frame for an earlier time, the last for a later one). With
// `appliesTrackTransform` the stream's rotation is applied. Only local files are opened, as
// `openMovie` does, and at most `maxPacketsPerFrame` packets are read. `isCancelled` is asked
// between packets; when it answers true the decode stops with an error.
std::expected<QImage, UnderlyingError> decodeVideoFrame(const QUrl& url, MediaTime time, bool appliesTrackTransform,
                                                        const std::function<bool()>& isCancelled);

} // namespace Lumen
