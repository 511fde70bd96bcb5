#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace Lumen {

// Tells when a playback falls far behind the time passing: now and then, under load, Qt's
// FFmpeg player starts a movie whose clock runs about a thousand times slow, so that it
// neither shows the movie nor ends. Reads the playback position once per stall window and
// reports `stalled` when it has moved by less than a tenth of the window; then it rests
// until started again. GUI thread only.
class PlaybackStallGuard final : public QObject {
    Q_OBJECT
public:
    PlaybackStallGuard(std::function<qint64()> positionMilliseconds, std::chrono::milliseconds stallWindow,
                       QObject* parent = nullptr);

    // Watches from the position read now.
    void start();
    void stop();

signals:
    void stalled();

private:
    void check();

    std::function<qint64()> m_positionMilliseconds;
    QTimer m_windows;
    qint64 m_lastPosition = 0;
};

} // namespace Lumen
