#include "Lumen/foundation/SystemDispatchClock.h"

#include "Lumen/foundation/DispatchThreadPool.h"

#include <vector>

#include <pthread.h>

namespace Lumen {

SystemDispatchClock::SystemDispatchClock()
{
    // Due entries submit to the pool, so the pool must be made first and outlive this clock.
    DispatchThreadPool::shared();
}

SystemDispatchClock::~SystemDispatchClock()
{
    std::map<std::pair<TimePoint, std::uint64_t>, DispatchBlock> discarded;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        discarded.swap(m_entries);
    }
    m_changed.notify_all();
    if (!m_thread.joinable())
        return;
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach();
    else
        m_thread.join();
}

DispatchClock::TimePoint SystemDispatchClock::now() const
{
    return std::chrono::steady_clock::now();
}

void SystemDispatchClock::schedule(TimePoint deadline, DispatchBlock onDue)
{
    std::unique_lock lock(m_mutex);
    if (m_stopping)
        return;
    if (!m_thread.joinable())
        m_thread = std::thread([this] {
            pthread_setname_np(pthread_self(), "Lumen clock");
            run();
        });
    const auto key = std::make_pair(deadline, m_nextNumber++);
    const bool isEarliest = m_entries.empty() || key < m_entries.begin()->first;
    m_entries.emplace(key, std::move(onDue));
    lock.unlock();
    if (isEarliest)
        m_changed.notify_one();
}

void SystemDispatchClock::run()
{
    std::vector<DispatchBlock> due;
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_entries.empty()) {
            m_changed.wait(lock);
            continue;
        }
        const TimePoint earliest = m_entries.begin()->first.first;
        if (now() < earliest) {
            m_changed.wait_until(lock, earliest);
            continue;
        }
        const TimePoint current = now();
        while (!m_entries.empty() && m_entries.begin()->first.first <= current) {
            due.push_back(std::move(m_entries.begin()->second));
            m_entries.erase(m_entries.begin());
        }
        lock.unlock();
        for (auto& onDue : due)
            onDue();
        due.clear();
        lock.lock();
    }
}

} // namespace Lumen
