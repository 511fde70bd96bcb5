#pragma once

#include "Lumen/foundation/Geometry.h"
#include "Lumen/retrieval/LivePhoto.h"
#include "Lumen/retrieval/LivePhotoError.h"

#include <QSizeF>
#include <QUrl>

#include <expected>
#include <functional>
#include <vector>

namespace Lumen {

using LivePhotoResult = std::expected<LivePhoto, LivePhotoError>;
using LivePhotoResultHandler = std::move_only_function<void(LivePhotoResult)>;

// Makes a live photo from local files: exactly one still (HEIC or HEIF through libheif; JPEG,
// PNG, WebP or TIFF through Qt) and one movie (MOV or MP4), in any order, each told by its
// extension and refused unless its bytes are of that kind. The still is decoded for
// `targetSize` by `contentMode` (see decodeLivePhotoStill); the movie is probed, never decoded.
// Blocks on the files; safe on any thread.
LivePhotoResult assembleLivePhoto(const std::vector<QUrl>& fileURLs, QSizeF targetSize, ContentMode contentMode);

// assembleLivePhoto off the calling thread. `resultHandler` is called exactly once, on the GUI
// thread, with the final result, never synchronously from this call.
void requestLivePhoto(std::vector<QUrl> fileURLs, QSizeF targetSize, ContentMode contentMode,
                      LivePhotoResultHandler resultHandler);

} // namespace Lumen
