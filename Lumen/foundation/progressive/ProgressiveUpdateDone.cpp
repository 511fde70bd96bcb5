#include "Lumen/foundation/progressive/ProgressiveUpdateDone.h"

namespace Lumen {

ProgressiveUpdateDone::ProgressiveUpdateDone(std::function<void()> onDone)
    : m_state(std::make_shared<State>(std::move(onDone)))
{
}

void ProgressiveUpdateDone::operator()() const
{
    m_state->fire();
}

void ProgressiveUpdateDone::State::fire()
{
    if (fired.test_and_set())
        return;
    if (onDone)
        onDone();
    // Whatever the closure captured goes with the signal's only use.
    onDone = nullptr;
}

} // namespace Lumen
