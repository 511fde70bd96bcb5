#include "Lumen/foundation/progressive/ImageProgressiveSerialQueue.h"

#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/DispatchWorkItem.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

namespace Lumen {

namespace {

// A day is longer than any transfer; it keeps the conversion to clock ticks in range.
constexpr double longestSpacingSeconds = 86400.0;

DispatchClock::Duration spacingDuration(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0.0)
        return DispatchClock::Duration::zero();
    return std::chrono::duration_cast<DispatchClock::Duration>(
        std::chrono::duration<double>(std::min(seconds, longestSpacingSeconds)));
}

} // namespace

std::shared_ptr<ImageProgressiveSerialQueue> ImageProgressiveSerialQueue::make(std::shared_ptr<DispatchClock> clock)
{
    return std::make_shared<ImageProgressiveSerialQueue>(Passkey{}, std::move(clock));
}

ImageProgressiveSerialQueue::ImageProgressiveSerialQueue(Passkey, std::shared_ptr<DispatchClock> clock)
    : m_queue(DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.ImageProgressive.SerialQueue"),
                                        std::move(clock)))
{
}

void ImageProgressiveSerialQueue::add(Update update, double spacing)
{
    m_queue->async([weak = weak_from_this(), update = std::move(update), spacing = spacingDuration(spacing)]() mutable {
        if (const auto self = weak.lock())
            self->enqueue(std::move(update), spacing);
    });
}

void ImageProgressiveSerialQueue::clean()
{
    m_queue->async([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self)
            return;
        self->m_waiting.reset();
        if (self->m_scheduled) {
            self->m_scheduled->cancel();
            self->m_scheduled.reset();
        }
        // Dropping the only update that was due leaves the queue idle, and a caller may be
        // waiting to hear so.
        if (!self->m_running)
            self->notifyIdle();
    });
}

void ImageProgressiveSerialQueue::setNotify(std::function<void()> notify)
{
    m_queue->async([weak = weak_from_this(), notify = std::move(notify)]() mutable {
        const auto self = weak.lock();
        if (!self || !notify)
            return;
        if (self->m_running || self->m_scheduled)
            self->m_notify = std::move(notify);
        else
            notify();
    });
}

void ImageProgressiveSerialQueue::enqueue(Update update, DispatchClock::Duration spacing)
{
    m_spacing = spacing;
    const bool busy = m_running || m_scheduled;
    // The newer update holds newer data; the one it replaces never started.
    m_waiting = std::move(update);
    if (busy)
        return;

    auto delay = DispatchClock::Duration::zero();
    if (m_lastIdle) {
        const auto elapsed = m_queue->clock()->now() - *m_lastIdle;
        delay = std::max(DispatchClock::Duration::zero(), spacing - elapsed);
    }
    schedule(delay);
}

void ImageProgressiveSerialQueue::schedule(DispatchClock::Duration delay)
{
    m_scheduled = DispatchWorkItem::make([weak = weak_from_this()] {
        if (const auto self = weak.lock())
            self->start();
    });
    if (delay > DispatchClock::Duration::zero())
        m_queue->asyncAfter(delay, m_scheduled);
    else
        m_queue->async(m_scheduled);
}

void ImageProgressiveSerialQueue::start()
{
    m_scheduled.reset();
    if (!m_waiting)
        return;
    Update update = std::move(*m_waiting);
    m_waiting.reset();
    m_running = true;

    ProgressiveUpdateDone done([weak = weak_from_this(), queue = m_queue] {
        queue->async([weak] {
            if (const auto self = weak.lock())
                self->finish();
        });
    });
    if (update)
        update(done);
}

void ImageProgressiveSerialQueue::finish()
{
    m_running = false;
    if (m_waiting) {
        schedule(m_spacing);
        return;
    }
    m_lastIdle = m_queue->clock()->now();
    notifyIdle();
}

void ImageProgressiveSerialQueue::notifyIdle()
{
    if (auto notify = std::exchange(m_notify, nullptr))
        notify();
}

} // namespace Lumen
