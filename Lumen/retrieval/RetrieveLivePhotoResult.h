#pragma once

#include "Lumen/retrieval/LivePhoto.h"
#include "Lumen/retrieval/LivePhotoLoadingInfoResult.h"

#include <optional>

namespace Lumen {

// A live photo loaded into a view: its files, and what the live-photo request made of them.
struct RetrieveLivePhotoResult {
    LivePhotoLoadingInfoResult loadingInfo;
    // None before the request answered, or when it failed.
    std::optional<LivePhoto> livePhoto;
};

} // namespace Lumen
