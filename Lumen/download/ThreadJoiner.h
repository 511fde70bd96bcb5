#pragma once

#include <functional>

namespace Lumen::ThreadJoiner {

// Runs `body` on a thread of its own that the process joins, so nobody has to join it from a
// destructor, possibly on the thread itself. A thread that ended is joined when another
// starts; when the application ends, each live one is asked to end with its `askToEnd`, and
// all are joined, each waited for a bounded time (one stuck past that is left behind).
void start(std::function<void()> body, std::function<void()> askToEnd);

} // namespace Lumen::ThreadJoiner
