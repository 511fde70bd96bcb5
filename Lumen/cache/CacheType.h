#pragma once

namespace Lumen {

// The cache layer that holds (or held) an image.
enum class CacheType {
    none,
    memory,
    disk,
};

// Whether the layer is one of the cache's own: true for `memory` and `disk`.
constexpr bool isCached(CacheType type)
{
    return type != CacheType::none;
}

} // namespace Lumen
