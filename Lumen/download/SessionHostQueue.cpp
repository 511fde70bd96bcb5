#include "Lumen/download/SessionHostQueue.h"

#include "Lumen/download/URLSessionDataTask.h"

#include <algorithm>
#include <utility>

namespace Lumen {

SessionHostQueue::SessionHostQueue(int connectionsPerHost, int connections)
    : m_connectionsPerHost(std::max(1, connectionsPerHost))
    , m_connections(std::max(1, connections))
{
}

bool SessionHostQueue::admit(const std::shared_ptr<URLSessionDataTask>& task, const QString& host)
{
    // Nothing that could run waits, so a task with room at its host and in all goes first.
    Host& entry = m_hosts[host];
    if (entry.running < m_connectionsPerHost && m_running < m_connections) {
        ++entry.running;
        ++m_running;
        return true;
    }
    entry.waiting.push_back({m_arrivals++, task});
    return false;
}

std::optional<SessionHostQueue::Admitted> SessionHostQueue::release(const QString& host)
{
    const auto released = m_hosts.find(host);
    if (released == m_hosts.end())
        return std::nullopt;
    --released->second.running;
    --m_running;
    std::size_t index = 0;
    const auto next = pickNext(index);
    if (next == m_hosts.end()) {
        forgetIfIdle(released);
        return std::nullopt;
    }
    Host& entry = next->second;
    Admitted admitted{std::move(entry.waiting[index].task), next->first};
    entry.waiting.erase(entry.waiting.begin() + std::ptrdiff_t(index));
    ++entry.running;
    ++m_running;
    if (next != released)
        forgetIfIdle(released);
    return admitted;
}

SessionHostQueue::Hosts::iterator SessionHostQueue::pickNext(std::size_t& index)
{
    auto best = m_hosts.end();
    // Priorities are read once per pick: another thread may change them meanwhile.
    float bestPriority = 0;
    std::uint64_t bestArrival = 0;
    for (auto host = m_hosts.begin(); host != m_hosts.end(); ++host) {
        if (host->second.running >= m_connectionsPerHost)
            continue;
        const auto& waiting = host->second.waiting;
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            const float priority = waiting[i].task->priority();
            const std::uint64_t arrival = waiting[i].arrival;
            if (best == m_hosts.end() || priority > bestPriority
                || (priority == bestPriority && arrival < bestArrival)) {
                best = host;
                index = i;
                bestPriority = priority;
                bestArrival = arrival;
            }
        }
    }
    return best;
}

void SessionHostQueue::forgetIfIdle(Hosts::iterator host)
{
    if (host->second.running <= 0 && host->second.waiting.empty())
        m_hosts.erase(host);
}

void SessionHostQueue::remove(const URLSessionDataTask& task, const QString& host)
{
    const auto found = m_hosts.find(host);
    if (found == m_hosts.end())
        return;
    std::erase_if(found->second.waiting, [&](const Waiting& waiting) { return waiting.task.get() == &task; });
    forgetIfIdle(found);
}

} // namespace Lumen
