#include "Lumen/foundation/ManualDispatchClock.h"

namespace Lumen {

ManualDispatchClock::ManualDispatchClock(TimePoint start) : m_now(start) {}

std::shared_ptr<ManualDispatchClock> ManualDispatchClock::make(TimePoint start)
{
    return std::make_shared<ManualDispatchClock>(start);
}

DispatchClock::TimePoint ManualDispatchClock::now() const
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

void ManualDispatchClock::schedule(TimePoint deadline, DispatchBlock onDue)
{
    std::lock_guard lock(m_mutex);
    m_entries.emplace(std::make_pair(deadline, m_nextNumber++), std::move(onDue));
}

void ManualDispatchClock::advance(Duration by)
{
    {
        std::lock_guard lock(m_mutex);
        m_now += by;
    }
    while (true) {
        DispatchBlock onDue;
        {
            std::lock_guard lock(m_mutex);
            if (m_entries.empty() || m_entries.begin()->first.first > m_now)
                return;
            onDue = std::move(m_entries.begin()->second);
            m_entries.erase(m_entries.begin());
        }
        onDue();
    }
}

std::size_t ManualDispatchClock::pendingCount() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

} // namespace Lumen
