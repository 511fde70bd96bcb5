#pragma once

#include "Lumen/foundation/DispatchBlock.h"

#include <memory>

namespace Lumen {

class DispatchQueue;

// Where a callback runs. A small immutable value: cheap to copy, safe to use from any thread;
// a `dispatch` value keeps its queue alive.
class CallbackQueue {
public:
    enum class Kind {
        dispatch,           // asynchronously on the given queue
        mainAsync,          // asynchronously on the main queue, even when already on it
        mainCurrentOrAsync, // at once on the GUI thread, otherwise asynchronously on the main queue
        untouch,            // at once on the calling thread
    };

    // The library's default for completions: `mainCurrentOrAsync`.
    CallbackQueue() = default;

    static CallbackQueue dispatch(DispatchQueue& queue);
    static CallbackQueue mainAsync() { return CallbackQueue(Kind::mainAsync); }
    static CallbackQueue mainCurrentOrAsync() { return CallbackQueue(Kind::mainCurrentOrAsync); }
    static CallbackQueue untouch() { return CallbackQueue(Kind::untouch); }

    Kind kind() const { return m_kind; }
    // The queue of a `dispatch` value; null for the other kinds.
    const std::shared_ptr<DispatchQueue>& queue() const { return m_queue; }

    // Runs or submits `block` by this value's rule. With `untouch`, and with
    // `mainCurrentOrAsync` on the GUI thread, the block has finished when this returns, so it
    // must not wait for work its caller's queue would run afterwards.
    void execute(DispatchBlock block) const;

    static void asyncOnMain(DispatchBlock block);
    static void currentOrAsyncOnMain(DispatchBlock block);

    friend bool operator==(const CallbackQueue&, const CallbackQueue&) = default;

private:
    explicit CallbackQueue(Kind kind, std::shared_ptr<DispatchQueue> queue = nullptr)
        : m_kind(kind), m_queue(std::move(queue)) {}

    Kind m_kind = Kind::mainCurrentOrAsync;
    std::shared_ptr<DispatchQueue> m_queue;
};

} // namespace Lumen
