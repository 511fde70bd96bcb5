#pragma once

#include <functional>

namespace Lumen {

// A unit of work handed to a queue. Move-only so that blocks can own what they capture.
// Blocks must not throw: nothing crosses a queue boundary as an exception.
using DispatchBlock = std::move_only_function<void()>;

} // namespace Lumen
