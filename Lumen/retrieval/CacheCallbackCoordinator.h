#pragma once

#include <functional>
#include <mutex>

namespace Lumen {

// Decides when a freshly stored image is reported: as soon as its stores have started, or,
// when the caller waits for the cache, once the store of the image (and of its original,
// when one is written too) has answered. One per stored image; reports at most once.
class CacheCallbackCoordinator {
public:
    enum class Action {
        storesStarted,       // every store has been started
        imageStored,         // the store of the image has answered
        originalImageStored, // the disk store of the original bytes has answered
    };

    CacheCallbackCoordinator(bool shouldWaitForCache, bool shouldCacheOriginal)
        : m_shouldWaitForCache(shouldWaitForCache), m_shouldCacheOriginal(shouldCacheOriginal) {}
    CacheCallbackCoordinator(const CacheCallbackCoordinator&) = delete;
    CacheCallbackCoordinator& operator=(const CacheCallbackCoordinator&) = delete;

    // Takes the action in one step; calls `trigger` afterwards, on this thread and outside
    // the guard, when this action is the one that completes the report.
    void apply(Action action, const std::function<void()>& trigger);

private:
    enum class State { idle, imageCached, originalImageCached, done };

    State next(Action action) const;

    const bool m_shouldWaitForCache;
    const bool m_shouldCacheOriginal;
    std::mutex m_mutex;
    State m_state = State::idle;
};

} // namespace Lumen
