#pragma once

namespace Lumen {

class DispatchQueue;

// Marks the calling thread as running on `queue` for the scope's lifetime. Scopes nest, so a
// thread inside a `sync` from another queue's block counts as running on both.
class HeldQueueScope {
public:
    explicit HeldQueueScope(const DispatchQueue& queue);
    ~HeldQueueScope();
    HeldQueueScope(const HeldQueueScope&) = delete;
    HeldQueueScope& operator=(const HeldQueueScope&) = delete;

    static bool isHeldByCurrentThread(const DispatchQueue& queue);

private:
    const DispatchQueue* m_queue;
    HeldQueueScope* m_outer;
};

} // namespace Lumen
