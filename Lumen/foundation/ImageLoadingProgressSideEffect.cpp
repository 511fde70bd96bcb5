#include "Lumen/foundation/ImageLoadingProgressSideEffect.h"

#include "Lumen/download/SessionDataTask.h"
#include "Lumen/foundation/CallbackQueue.h"

#include <utility>

namespace Lumen {

namespace {

DataReceivingSideEffect::ShouldApply alwaysApply()
{
    return [] { return true; };
}

} // namespace

std::shared_ptr<ImageLoadingProgressSideEffect> ImageLoadingProgressSideEffect::make(ProgressBlock block)
{
    return std::make_shared<ImageLoadingProgressSideEffect>(Passkey{}, std::move(block));
}

ImageLoadingProgressSideEffect::ImageLoadingProgressSideEffect(Passkey, ProgressBlock block)
    : m_block(std::move(block))
    , m_onShouldApply(alwaysApply())
{
}

DataReceivingSideEffect::ShouldApply ImageLoadingProgressSideEffect::onShouldApply() const
{
    std::lock_guard lock(m_propertyLock);
    return m_onShouldApply;
}

void ImageLoadingProgressSideEffect::setOnShouldApply(ShouldApply check)
{
    if (!check)
        check = alwaysApply();
    // The replaced check is destroyed outside the lock: it may own arbitrary captures.
    std::lock_guard lock(m_propertyLock);
    std::swap(m_onShouldApply, check);
}

void ImageLoadingProgressSideEffect::onDataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray&)
{
    if (!task)
        return;
    CallbackQueue::asyncOnMain([self = shared_from_this(), task] { self->report(*task); });
}

void ImageLoadingProgressSideEffect::report(const SessionDataTask& task) const
{
    // Called outside the lock, so a check may itself read or replace `onShouldApply`.
    if (!onShouldApply()())
        return;
    const auto response = task.response();
    // A negative length means the server did not announce one: no report for unknown sizes.
    if (!response || response->expectedContentLength < 0)
        return;
    if (m_block)
        m_block(task.receivedByteCount(), response->expectedContentLength);
}

} // namespace Lumen
