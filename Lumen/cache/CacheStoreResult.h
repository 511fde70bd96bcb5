#pragma once

#include "Lumen/foundation/LumenError.h"

#include <expected>

namespace Lumen {

// The answer of a store. The memory step cannot fail, so only the disk step has an outcome:
// success as well when no disk step was asked for.
struct CacheStoreResult {
    std::expected<void, LumenError> diskCacheResult;
};

} // namespace Lumen
