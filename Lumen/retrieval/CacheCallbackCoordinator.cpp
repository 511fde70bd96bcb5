#include "Lumen/retrieval/CacheCallbackCoordinator.h"

namespace Lumen {

CacheCallbackCoordinator::State CacheCallbackCoordinator::next(Action action) const
{
    switch (m_state) {
    case State::idle:
        switch (action) {
        case Action::storesStarted:
            return m_shouldWaitForCache ? State::idle : State::done;
        case Action::imageStored:
            return m_shouldCacheOriginal ? State::imageCached : State::done;
        case Action::originalImageStored:
            return State::originalImageCached;
        }
        break;
    case State::imageCached:
        return action == Action::originalImageStored ? State::done : m_state;
    case State::originalImageCached:
        return action == Action::imageStored ? State::done : m_state;
    case State::done:
        break;
    }
    return m_state;
}

void CacheCallbackCoordinator::apply(Action action, const std::function<void()>& trigger)
{
    bool reachedDone = false;
    {
        std::lock_guard lock(m_mutex);
        const State before = m_state;
        m_state = next(action);
        reachedDone = before != State::done && m_state == State::done;
    }
    if (reachedDone && trigger)
        trigger();
}

} // namespace Lumen
