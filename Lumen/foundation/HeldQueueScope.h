#pragma once

namespace Lumen {

class DispatchQueue;

// Marks the calling thread as running on `queue` for the scope's lifetime. Scopes nest, so a
// thread inside a `sync` from another queue's block counts as running on both.
class HeldQueueScope {
public:
    enum class Nesting {
        keepsOuter,
        // For blocks a thread runs on a queue's behalf while it waits in `sync`: they belong to
        // that queue alone, not to whatever queues the waiting caller holds.
        hidesOuter,
    };

    explicit HeldQueueScope(const DispatchQueue& queue, Nesting nesting = Nesting::keepsOuter);
    ~HeldQueueScope();
    HeldQueueScope(const HeldQueueScope&) = delete;
    HeldQueueScope& operator=(const HeldQueueScope&) = delete;

    static bool isHeldByCurrentThread(const DispatchQueue& queue);

private:
    const DispatchQueue* m_queue;
    HeldQueueScope* m_outer;
    Nesting m_nesting;
};

} // namespace Lumen
