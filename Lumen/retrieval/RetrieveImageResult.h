#pragma once

#include "Lumen/cache/CacheType.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/retrieval/Source.h"

#include <QByteArray>

#include <memory>
#include <optional>

namespace Lumen {

class CacheSerializer;

// The bytes of a retrieved image, made only when asked for: the bytes as received, or else
// the serializer's bytes for the image (none when it has neither).
struct RetrievedImageData {
    std::optional<QByteArray> received;
    ImagePtr image;
    std::shared_ptr<const CacheSerializer> serializer;

    std::optional<QByteArray> operator()() const;
};

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
    // `data()`: the bytes as received for a download or a provider, else the options'
    // serializer's bytes for the image before the modifier.
    RetrievedImageData data;
};

} // namespace Lumen
