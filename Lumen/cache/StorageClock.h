#pragma once

#include "Lumen/foundation/Date.h"
#include "Lumen/foundation/DispatchClock.h"

#include <concepts>
#include <functional>
#include <memory>
#include <type_traits>

#include <time.h>

namespace Lumen {

// Wall time: the system's own, or a source that tests inject. Called from any thread.
class WallClock {
public:
    WallClock() = default;
    template <typename Source>
        requires(!std::same_as<std::remove_cvref_t<Source>, WallClock> && std::is_invocable_r_v<Date, Source&>)
    WallClock(Source source) : m_injected(std::move(source))
    {
    }

    Date operator()() const { return m_injected ? m_injected() : currentDate(); }

    // The system's time to within a few milliseconds, several times cheaper to read: enough for
    // expiries, which are counted in seconds. An injected source is read as it is.
    Date coarse() const { return m_injected ? m_injected() : coarseSystemDate(); }

private:
    static Date coarseSystemDate()
    {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        return Date(TimeInterval(static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9));
    }

    std::function<Date()> m_injected;
};

// The time sources of a storage, injectable so tests can move time instead of waiting.
struct StorageClock {
    // Wall time for expiry moments and file stamps.
    WallClock now;
    // Drives the storage's periodic work.
    std::shared_ptr<DispatchClock> timer = DispatchClock::system();
};

} // namespace Lumen
