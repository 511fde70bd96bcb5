#pragma once

#include "Lumen/cache/CacheType.h"
#include "Lumen/foundation/Image.h"

#include <utility>

namespace Lumen {

// What a cache lookup found: the image and the layer it came from, or nothing.
class ImageCacheResult {
public:
    // Nothing found.
    ImageCacheResult() = default;

    // Found on disk (and already put into memory by the cache).
    static ImageCacheResult disk(ImagePtr image) { return ImageCacheResult(CacheType::disk, std::move(image)); }
    static ImageCacheResult memory(ImagePtr image) { return ImageCacheResult(CacheType::memory, std::move(image)); }
    static ImageCacheResult none() { return ImageCacheResult(); }

    // Null for `none`.
    const ImagePtr& image() const { return m_image; }
    CacheType cacheType() const { return m_cacheType; }

    // Same layer and the very same image object.
    bool operator==(const ImageCacheResult&) const = default;

private:
    ImageCacheResult(CacheType type, ImagePtr image) : m_cacheType(type), m_image(std::move(image)) {}

    CacheType m_cacheType = CacheType::none;
    ImagePtr m_image;
};

} // namespace Lumen
