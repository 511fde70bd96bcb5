#include "Lumen/retrieval/SharedLoads.h"

#include <utility>

namespace Lumen {

SharedLoads::Entry SharedLoads::join(const QString& key, Joiner joiner, const std::function<bool()>& isCached)
{
    std::lock_guard lock(m_mutex);
    if (const auto running = m_loads.find(key); running != m_loads.end()) {
        running->push_back(std::move(joiner));
        return Entry::joined;
    }
    if (isCached())
        return Entry::cached;
    m_loads.insert(key, {});
    return Entry::led;
}

void SharedLoads::finish(const QString& key, const Outcome& outcome)
{
    std::vector<Joiner> joiners;
    {
        std::lock_guard lock(m_mutex);
        joiners = m_loads.take(key);
    }
    for (const auto& joiner : joiners)
        joiner(outcome);
}

} // namespace Lumen
