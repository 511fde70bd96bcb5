#include "Lumen/foundation/HeldQueueScope.h"

namespace Lumen {

namespace {
thread_local HeldQueueScope* innermostScope = nullptr;
}

HeldQueueScope::HeldQueueScope(const DispatchQueue& queue)
    : m_queue(&queue), m_outer(innermostScope)
{
    innermostScope = this;
}

HeldQueueScope::~HeldQueueScope()
{
    innermostScope = m_outer;
}

bool HeldQueueScope::isHeldByCurrentThread(const DispatchQueue& queue)
{
    for (const HeldQueueScope* scope = innermostScope; scope; scope = scope->m_outer) {
        if (scope->m_queue == &queue)
            return true;
    }
    return false;
}

} // namespace Lumen
