#include "TivrandApp/services/LookupDeadline.h"

#include <algorithm>

namespace Tivrand {

LookupDeadline::LookupDeadline(GMainContext* context, GCancellable* cancellable, std::chrono::milliseconds timeout)
    : m_context(context)
    , m_cancellable(cancellable)
    , m_timeoutMs(static_cast<guint>(std::max<std::chrono::milliseconds::rep>(timeout.count(), 0)))
{
    resume();
}

LookupDeadline::~LookupDeadline()
{
    pause();
}

void LookupDeadline::pause()
{
    if (!m_timer)
        return;
    g_source_destroy(m_timer);
    g_source_unref(m_timer);
    m_timer = nullptr;
}

void LookupDeadline::resume()
{
    if (m_timer || m_expired)
        return;
    m_timer = g_timeout_source_new(m_timeoutMs);
    g_source_set_callback(m_timer, &LookupDeadline::expire, this, nullptr);
    g_source_attach(m_timer, m_context);
}

gboolean LookupDeadline::expire(gpointer deadline)
{
    auto* self = static_cast<LookupDeadline*>(deadline);
    self->m_expired = true;
    g_cancellable_cancel(self->m_cancellable);
    // The source is done; pause() still drops our reference to it.
    return G_SOURCE_REMOVE;
}

} // namespace Tivrand
