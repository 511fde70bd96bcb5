#include "Lumen/foundation/HeldQueueScope.h"

namespace Lumen {

namespace {
thread_local HeldQueueScope* innermostScope = nullptr;
}

HeldQueueScope::HeldQueueScope(const DispatchQueue& queue, Nesting nesting)
    : m_queue(&queue), m_outer(innermostScope), m_nesting(nesting)
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
        if (scope->m_nesting == Nesting::hidesOuter)
            return false;
    }
    return false;
}

} // namespace Lumen
