#pragma once

#include "Lumen/foundation/LumenError.h"

#include <expected>

namespace Lumen {

// The failure of a step that cannot fail: no value of it can be made.
struct Infallible {
    Infallible() = delete;
};

// The answer of a store: the memory step, which always succeeds, and the disk step, which
// succeeds as well when no disk step was asked for.
struct CacheStoreResult {
    CacheStoreResult() = default;
    CacheStoreResult(std::expected<void, LumenError> diskCacheResult) : diskCacheResult(std::move(diskCacheResult)) {}

    std::expected<void, Infallible> memoryCacheResult;
    std::expected<void, LumenError> diskCacheResult;
};

} // namespace Lumen
