#pragma once

#include "Lumen/foundation/Date.h"
#include "Lumen/foundation/DispatchClock.h"

#include <functional>
#include <memory>

namespace Lumen {

// The time sources of a storage, injectable so tests can move time instead of waiting.
struct StorageClock {
    // Wall time for expiry moments and file stamps. Called from any thread.
    std::function<Date()> now = currentDate;
    // Drives the storage's periodic work.
    std::shared_ptr<DispatchClock> timer = DispatchClock::system();
};

} // namespace Lumen
