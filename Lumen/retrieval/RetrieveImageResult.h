#pragma once

#include "Lumen/cache/CacheType.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/retrieval/Source.h"

#include <QByteArray>

#include <functional>
#include <optional>

namespace Lumen {

// What a successful retrieval hands back.
struct RetrieveImageResult {
    // The image to show, after the options' image modifier.
    ImagePtr image;
    // `memory` or `disk` for an image served from the target cache; `none` for a download, a
    // data provider, or an image rebuilt from the original cache.
    CacheType cacheType = CacheType::none;
    // The source that produced the image: the requested one, or the low-data-mode or
    // alternative source that replaced it.
    Source source;
    // The source the caller asked for.
    Source originalSource;
    // The image's bytes on demand: as received for a download or a provider, else the
    // options' serializer's bytes for the image.
    std::function<std::optional<QByteArray>()> data;
};

} // namespace Lumen
