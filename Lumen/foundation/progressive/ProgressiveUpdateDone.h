#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace Lumen {

// The signal an update gives when it has finished. Copies share one signal, which fires
// exactly once: at the first call, or when the last copy is dropped without a call (an update
// abandoned because its owner is gone still lets the queue move on). Safe on any thread.
class ProgressiveUpdateDone {
public:
    explicit ProgressiveUpdateDone(std::function<void()> onDone);

    void operator()() const;

private:
    struct State {
        explicit State(std::function<void()> onDone) : onDone(std::move(onDone)) {}
        State(const State&) = delete;
        State& operator=(const State&) = delete;
        ~State() { fire(); }

        void fire();

        std::atomic_flag fired;
        std::function<void()> onDone;
    };

    std::shared_ptr<State> m_state;
};

} // namespace Lumen
