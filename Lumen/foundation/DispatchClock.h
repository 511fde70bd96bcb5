#pragma once

#include "Lumen/foundation/DispatchBlock.h"

#include <chrono>
#include <memory>

namespace Lumen {

// The time source behind timed queue work. Queues take one at creation, so tests can drive
// delayed work with a manual clock instead of waiting.
class DispatchClock {
public:
    using Duration = std::chrono::steady_clock::duration;
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~DispatchClock() = default;

    virtual TimePoint now() const = 0;

    // Calls `onDue` once, no earlier than `deadline`, on a thread of the clock's choosing.
    // Entries with equal deadlines fire in the order they were scheduled. `onDue` must be
    // short: queues use it only to submit the real work.
    virtual void schedule(TimePoint deadline, DispatchBlock onDue) = 0;

    // The process-wide monotonic clock, with one timer thread started on first use.
    static std::shared_ptr<DispatchClock> system();
};

} // namespace Lumen
