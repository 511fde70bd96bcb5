#include "Lumen/views/loading/TaskPropertyAccessor.h"

#include "Lumen/views/loading/AttemptTasks.h"

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

std::shared_ptr<AttemptTasks> TaskPropertyAccessor::beginRequest(Identifier identifier)
{
    m_attempts = std::make_shared<AttemptTasks>();
    setTaskIdentifier(identifier);
    return m_attempts;
}

void TaskPropertyAccessor::endRequest()
{
    m_attempts.reset();
    setTaskIdentifier(std::nullopt);
}

void TaskPropertyAccessor::cancelDownloadTask()
{
    // A copy: a cancel may end the request, and release its tasks, before it returns.
    if (const std::shared_ptr<AttemptTasks> attempts = m_attempts)
        attempts->cancel();
}

std::shared_ptr<DownloadTask> TaskPropertyAccessor::imageTask() const
{
    return m_attempts ? m_attempts->current() : nullptr;
}

} // namespace Lumen
