#pragma once

#include <QFuture>
#include <QPromise>

#include <atomic>
#include <memory>
#include <utility>

namespace Lumen {

// A started promise that the completions racing to end it (a result against a cancel) share by
// copy. It is finished once: the first to answer wins and the others are dropped, since a
// promise finished twice runs the continuations of its future twice.
template <typename T>
class OncePromise {
public:
    OncePromise() : m_state(std::make_shared<State>()) { m_state->promise.start(); }

    QFuture<T> future() const { return m_state->promise.future(); }

    // Finishes with `result`; false when the promise was answered already.
    bool finish(T result) const
    {
        if (m_state->answered.exchange(true, std::memory_order_acq_rel))
            return false;
        m_state->promise.addResult(std::move(result));
        m_state->promise.finish();
        return true;
    }

    // Finishes with no result, as a cancelled future ends; false when answered already.
    bool finishWithoutResult() const
    {
        if (m_state->answered.exchange(true, std::memory_order_acq_rel))
            return false;
        m_state->promise.finish();
        return true;
    }

private:
    struct State {
        QPromise<T> promise;
        std::atomic<bool> answered{false};
    };

    std::shared_ptr<State> m_state;
};

} // namespace Lumen
