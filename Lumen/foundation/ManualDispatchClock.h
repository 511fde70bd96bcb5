#pragma once

#include "Lumen/foundation/DispatchClock.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace Lumen {

// A clock that moves only when told to, for driving delayed work deterministically. Due
// entries fire on the thread that calls `advance`, in deadline order; entries scheduled while
// firing fire in the same call when they are already due. Drive it from one thread.
class ManualDispatchClock final : public DispatchClock {
public:
    explicit ManualDispatchClock(TimePoint start = TimePoint{});

    static std::shared_ptr<ManualDispatchClock> make(TimePoint start = TimePoint{});

    TimePoint now() const override;
    void schedule(TimePoint deadline, DispatchBlock onDue) override;

    void advance(Duration by);
    std::size_t pendingCount() const;

private:
    mutable std::mutex m_mutex;
    TimePoint m_now;
    std::map<std::pair<TimePoint, std::uint64_t>, DispatchBlock> m_entries;
    std::uint64_t m_nextNumber = 0;
};

} // namespace Lumen
