#pragma once

#include "Lumen/cache/StorageExpiration.h"
#include "Lumen/foundation/LibraryDefaults.h"

#include <chrono>
#include <cstdint>

namespace Lumen {

// Limits and timing of a memory storage. A limit of 0 or less means no limit.
struct MemoryStorageConfig {
    MemoryStorageConfig(std::int64_t totalCostLimit, std::chrono::duration<double> cleanInterval)
        : totalCostLimit(totalCostLimit), cleanInterval(cleanInterval) {}

    std::int64_t totalCostLimit;
    std::int64_t countLimit = Defaults::memoryStorageCountLimit;
    // Applied to stores that name no expiration of their own.
    StorageExpiration expiration = StorageExpiration::seconds(
        std::chrono::duration<double>(Defaults::memoryStorageExpiration).count());
    // Period of the sweep that drops expired entries; fixed when the storage is made.
    std::chrono::duration<double> cleanInterval;
    // Whether later stores make entries that stay when the application is suspended, and
    // whose content can be discarded on its own (BackgroundKeepingStorageObject).
    bool keepWhenEnteringBackground = false;
};

} // namespace Lumen
