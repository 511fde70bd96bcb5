#include "Lumen/foundation/TimerTickSource.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace Lumen {

namespace {

constexpr double fallbackRefreshRate = 60.0;

double primaryScreenRefreshRate()
{
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
        ? QGuiApplication::primaryScreen()
        : nullptr;
    const double rate = screen ? screen->refreshRate() : 0.0;
    return rate >= 1.0 ? rate : fallbackRefreshRate;
}

double monotonicSeconds()
{
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

TimerTickSource::TimerTickSource() : m_refreshPeriod(1.0 / primaryScreenRefreshRate())
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(std::max(1, static_cast<int>(std::lround(m_refreshPeriod * 1000.0))));
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        // A copy, because the handler may replace itself while it runs.
        const Handler handler = m_handler;
        if (handler)
            handler(DisplayLinkFrame{monotonicSeconds(), m_refreshPeriod});
    });
}

void TimerTickSource::setHandler(Handler handler)
{
    m_handler = std::move(handler);
}

void TimerTickSource::start()
{
    m_timer.start();
}

void TimerTickSource::stop()
{
    m_timer.stop();
}

bool TimerTickSource::isRunning() const
{
    return m_timer.isActive();
}

} // namespace Lumen
