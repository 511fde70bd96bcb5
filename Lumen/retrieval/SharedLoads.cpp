#include "Lumen/retrieval/SharedLoads.h"

#include <utility>

namespace Lumen {

// The joiners of one load. As a side effect of the leader's transfer, it hands every chunk on
// to the joiners' own side effects, which apply their own checks.
class SharedLoads::Load final : public DataReceivingSideEffect {
public:
    ShouldApply onShouldApply() const override
    {
        return [] { return true; };
    }
    void setOnShouldApply(ShouldApply) override {}
    void onDataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray& data) override
    {
        SideEffects watching;
        {
            std::lock_guard lock(m_mutex);
            watching = m_sideEffects;
        }
        for (const auto& sideEffect : watching)
            sideEffect->onDataReceived(task, data);
    }

    void add(Joiner joiner, const SideEffects& sideEffects)
    {
        std::lock_guard lock(m_mutex);
        m_joiners.push_back(std::move(joiner));
        m_sideEffects.insert(m_sideEffects.end(), sideEffects.begin(), sideEffects.end());
    }
    std::vector<Joiner> end()
    {
        std::lock_guard lock(m_mutex);
        m_sideEffects.clear();
        return std::exchange(m_joiners, {});
    }

private:
    std::mutex m_mutex;
    std::vector<Joiner> m_joiners;
    SideEffects m_sideEffects;
};

SharedLoads::Joined SharedLoads::join(const QString& key, Joiner joiner, const SideEffects& sideEffects,
                                      const std::function<bool()>& isCached)
{
    std::lock_guard lock(m_mutex);
    if (const auto running = m_loads.value(key)) {
        running->add(std::move(joiner), sideEffects);
        return {Entry::joined, nullptr};
    }
    if (isCached())
        return {Entry::cached, nullptr};
    auto load = std::make_shared<Load>();
    m_loads.insert(key, load);
    return {Entry::led, std::move(load)};
}

void SharedLoads::finish(const QString& key, const Outcome& outcome)
{
    std::shared_ptr<Load> load;
    {
        std::lock_guard lock(m_mutex);
        load = m_loads.take(key);
    }
    if (!load)
        return;
    for (const auto& joiner : load->end())
        joiner(outcome);
}

} // namespace Lumen
