#pragma once

#include <functional>
#include <set>

namespace Tivrand::Testing {

// Client sockets of any process open to `ports` on this machine (connecting, connected, or
// closed by the server only), as the kernel's socket table lists them; -1 when it cannot be read.
int openSocketsTo(const std::set<int>& ports);

// The highest value `sample` gives while `work` runs, sampled every few milliseconds.
long peakWhile(const std::function<long()>& sample, const std::function<void()>& work);

} // namespace Tivrand::Testing
