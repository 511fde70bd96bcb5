#include "Lumen/foundation/DispatchWorkItem.h"

namespace Lumen {

DispatchWorkItem::DispatchWorkItem(DispatchBlock block)
    : m_block(std::make_shared<DispatchBlock>(std::move(block)))
{
}

std::shared_ptr<DispatchWorkItem> DispatchWorkItem::make(DispatchBlock block)
{
    return std::make_shared<DispatchWorkItem>(std::move(block));
}

void DispatchWorkItem::perform()
{
    std::shared_ptr<DispatchBlock> block;
    {
        std::lock_guard lock(m_mutex);
        block = m_block;
    }
    if (block && *block)
        (*block)();
}

void DispatchWorkItem::cancel()
{
    std::shared_ptr<DispatchBlock> released;
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        released.swap(m_block);
    }
    // `released` drops the captures here, outside the lock, unless a run still holds them.
}

bool DispatchWorkItem::isCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

} // namespace Lumen
