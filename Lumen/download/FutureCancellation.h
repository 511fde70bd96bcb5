#pragma once

#include <QFuture>

#include <functional>

namespace Lumen {

// Calls `onCancel` once `future` is cancelled, on a process-wide thread kept for watching
// futures, so the cancel is noticed whatever the caller's thread does meanwhile.
void whenCancelled(const QFuture<void>& future, std::function<void()> onCancel);

} // namespace Lumen
