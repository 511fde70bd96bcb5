#include "Lumen/views/loading/TaskPropertyAccessor.h"

#include "Lumen/retrieval/RetrievalControl.h"

namespace Lumen {

std::optional<TaskPropertyAccessor::Identifier> TaskPropertyAccessor::taskIdentifier() const
{
    const Identifier identifier = m_identifier.load(std::memory_order_acquire);
    return identifier == 0 ? std::nullopt : std::optional(identifier);
}

void TaskPropertyAccessor::setTaskIdentifier(std::optional<Identifier> identifier)
{
    m_identifier.store(identifier.value_or(0), std::memory_order_release);
}

bool TaskPropertyAccessor::isCurrent(Identifier identifier) const
{
    return identifier != 0 && m_identifier.load(std::memory_order_acquire) == identifier;
}

std::shared_ptr<RetrievalControl> TaskPropertyAccessor::beginRequest(Identifier identifier)
{
    m_control = std::make_shared<RetrievalControl>();
    setTaskIdentifier(identifier);
    return m_control;
}

void TaskPropertyAccessor::endRequest()
{
    m_control.reset();
    setTaskIdentifier(std::nullopt);
}

void TaskPropertyAccessor::cancelDownloadTask()
{
    // A copy: a cancel may end the request, and release its control, before it returns.
    if (const std::shared_ptr<RetrievalControl> control = m_control)
        control->cancel();
}

std::shared_ptr<DownloadTask> TaskPropertyAccessor::imageTask() const
{
    return m_control ? m_control->currentTask() : nullptr;
}

} // namespace Lumen
