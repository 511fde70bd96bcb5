#pragma once

#include "Lumen/foundation/DispatchClock.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace Lumen {

// The monotonic clock. One timer thread, started on the first `schedule`, sleeps until the
// earliest deadline and then hands the due entries their turn.
class SystemDispatchClock final : public DispatchClock {
public:
    SystemDispatchClock();
    ~SystemDispatchClock() override;
    SystemDispatchClock(const SystemDispatchClock&) = delete;
    SystemDispatchClock& operator=(const SystemDispatchClock&) = delete;

    TimePoint now() const override;
    void schedule(TimePoint deadline, DispatchBlock onDue) override;

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    // Keyed by deadline, then by submission number so equal deadlines keep their order.
    std::map<std::pair<TimePoint, std::uint64_t>, DispatchBlock> m_entries;
    std::uint64_t m_nextNumber = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace Lumen
