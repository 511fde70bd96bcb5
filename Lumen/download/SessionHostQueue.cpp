#include "Lumen/download/SessionHostQueue.h"

#include "Lumen/download/URLSessionDataTask.h"

#include <algorithm>
#include <utility>

namespace Lumen {

SessionHostQueue::SessionHostQueue(int connectionsPerHost)
    : m_connectionsPerHost(std::max(1, connectionsPerHost))
{
}

bool SessionHostQueue::admit(const std::shared_ptr<URLSessionDataTask>& task, const QString& host)
{
    Host& entry = m_hosts[host];
    if (entry.running < m_connectionsPerHost) {
        ++entry.running;
        return true;
    }
    entry.waiting.push_back({m_arrivals++, task});
    return false;
}

std::shared_ptr<URLSessionDataTask> SessionHostQueue::release(const QString& host)
{
    const auto found = m_hosts.find(host);
    if (found == m_hosts.end())
        return nullptr;
    Host& entry = found->second;
    if (entry.waiting.empty()) {
        if (--entry.running <= 0)
            m_hosts.erase(found);
        return nullptr;
    }
    // Priorities are read once per pick: another thread may change them meanwhile.
    std::vector<std::pair<float, std::uint64_t>> order;
    order.reserve(entry.waiting.size());
    for (const Waiting& waiting : entry.waiting)
        order.emplace_back(waiting.task->priority(), waiting.arrival);
    const auto best = std::ranges::min_element(order, [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    const auto index = std::distance(order.begin(), best);
    auto next = std::move(entry.waiting[index].task);
    entry.waiting.erase(entry.waiting.begin() + index);
    return next;
}

bool SessionHostQueue::remove(const URLSessionDataTask& task)
{
    for (auto& [host, entry] : m_hosts) {
        const auto found = std::ranges::find_if(entry.waiting, [&](const Waiting& w) { return w.task.get() == &task; });
        if (found != entry.waiting.end()) {
            entry.waiting.erase(found);
            return true;
        }
    }
    return false;
}

std::vector<std::shared_ptr<URLSessionDataTask>> SessionHostQueue::takeAllWaiting()
{
    std::vector<std::shared_ptr<URLSessionDataTask>> all;
    for (auto& [host, entry] : m_hosts) {
        for (Waiting& waiting : entry.waiting)
            all.push_back(std::move(waiting.task));
        entry.waiting.clear();
    }
    return all;
}

} // namespace Lumen
