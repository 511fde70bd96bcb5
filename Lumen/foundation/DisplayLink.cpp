#include "Lumen/foundation/DisplayLink.h"

#include "Lumen/foundation/TimerTickSource.h"

namespace Lumen {

DisplayLink::DisplayLink(QObject* target, TickHandler onTick, std::unique_ptr<DisplayLinkTickSource> source)
    : m_target(target), m_onTick(std::move(onTick)),
      m_source(source ? std::move(source) : std::make_unique<TimerTickSource>())
{
    m_source->setHandler([this](const DisplayLinkFrame& frame) { tick(frame); });
}

DisplayLink::~DisplayLink()
{
    invalidate();
}

void DisplayLink::setPaused(bool paused)
{
    if (!m_isValid)
        return;
    m_isPaused = paused;
    if (paused && m_source->isRunning())
        m_source->stop();
    else if (!paused && !m_source->isRunning())
        m_source->start();
}

void DisplayLink::invalidate()
{
    if (!m_isValid)
        return;
    m_isValid = false;
    m_isPaused = true;
    m_target.clear();
    m_onTick = nullptr;
    // The source stays until destruction: this may run inside one of its ticks.
    m_source->stop();
    m_source->setHandler(nullptr);
}

void DisplayLink::tick(const DisplayLinkFrame& frame)
{
    if (!m_target || !m_onTick)
        return;
    if (frame.refreshPeriod)
        m_duration = *frame.refreshPeriod;
    if (!m_hasTicked) {
        m_hasTicked = true;
        m_timestamp = frame.hostTime;
        return;
    }
    // The call may invalidate this link, so the stamp is recorded first and the handler copied.
    m_timestamp = frame.hostTime;
    const TickHandler onTick = m_onTick;
    onTick(*m_target);
}

} // namespace Lumen
