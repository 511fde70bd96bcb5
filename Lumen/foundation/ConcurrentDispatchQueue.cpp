#include "Lumen/foundation/ConcurrentDispatchQueue.h"

#include "Lumen/foundation/DispatchThreadPool.h"
#include "Lumen/foundation/HeldQueueScope.h"

namespace Lumen {

ConcurrentDispatchQueue::ConcurrentDispatchQueue(QString label, std::shared_ptr<DispatchClock> clock)
    : DispatchQueue(std::move(label), std::move(clock))
{
}

bool ConcurrentDispatchQueue::isCurrent() const
{
    return HeldQueueScope::isHeldByCurrentThread(*this);
}

void ConcurrentDispatchQueue::async(DispatchBlock block)
{
    if (!block)
        return;
    DispatchThreadPool::shared().submit([self = shared_from_this(), block = std::move(block)]() mutable {
        HeldQueueScope held(*self);
        block();
    });
}

std::expected<void, DispatchError> ConcurrentDispatchQueue::runSync(SyncBody body, void* context)
{
    // Nothing to wait for: concurrent blocks exclude nobody.
    HeldQueueScope held(*this);
    body(context);
    return {};
}

} // namespace Lumen
