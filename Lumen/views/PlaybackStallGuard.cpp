#include "Lumen/views/PlaybackStallGuard.h"

#include <utility>

namespace Lumen {

PlaybackStallGuard::PlaybackStallGuard(std::function<qint64()> positionMilliseconds,
                                       std::chrono::milliseconds stallWindow, QObject* parent)
    : QObject(parent)
    , m_positionMilliseconds(std::move(positionMilliseconds))
{
    m_windows.setInterval(stallWindow);
    connect(&m_windows, &QTimer::timeout, this, &PlaybackStallGuard::check);
}

void PlaybackStallGuard::start()
{
    m_lastPosition = m_positionMilliseconds();
    m_windows.start();
}

void PlaybackStallGuard::stop()
{
    m_windows.stop();
}

void PlaybackStallGuard::check()
{
    const qint64 position = m_positionMilliseconds();
    const qint64 moved = position - m_lastPosition;
    m_lastPosition = position;
    // A late window only asks more of the playback, whose clock follows the wall clock.
    if (moved >= m_windows.interval() / 10)
        return;
    m_windows.stop();
    emit stalled();
}

} // namespace Lumen
