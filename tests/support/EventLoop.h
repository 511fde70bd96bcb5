#pragma once

#include <chrono>
#include <functional>

namespace Tivrand::Testing {

// Pumps the GUI thread's event loop until `predicate` holds or `timeout` passes.
// Answers whether the predicate held.
bool waitUntil(const std::function<bool()>& predicate,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Pumps the event loop for `duration`, for checks that something does not happen.
void pumpEvents(std::chrono::milliseconds duration);

} // namespace Tivrand::Testing
