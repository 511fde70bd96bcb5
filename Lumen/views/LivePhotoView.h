#pragma once

#include "Lumen/foundation/Geometry.h"
#include "Lumen/retrieval/LivePhoto.h"

#include <QImage>
#include <QWidget>

#include <optional>

class QAudioOutput;
class QMediaPlayer;
class QVideoFrame;
class QVideoSink;

namespace Lumen {

class PlaybackStallGuard;

// Shows a live photo: its still, and its movie while the left mouse button is held on the
// view. The movie plays from its start on each press and gives way to the still again on
// release, at its end, or when it cannot be played; a playback that stalls starts again
// once, then gives way too. Both are brought to the view's size by the content mode. The
// player only ever gets a movie that the live-photo request probed. GUI thread only.
class LivePhotoView final : public QWidget {
public:
    explicit LivePhotoView(QWidget* parent = nullptr);

    const std::optional<LivePhoto>& livePhoto() const { return m_livePhoto; }
    // Shows the still of `livePhoto`, or nothing; a movie that is playing stops.
    void setLivePhoto(std::optional<LivePhoto> livePhoto);

    // Aspect fit until set.
    ContentMode contentMode() const { return m_contentMode; }
    void setContentMode(ContentMode mode);

    // True from a press that started the movie until it gives way to the still.
    bool isPlayingMovie() const { return m_playing; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void makePlayer();
    void routeSound();
    void playMovie();
    void startPlayback();
    void recoverFromStall();
    void unloadMovie();
    void stopMovie();
    void showMovieFrame(const QVideoFrame& frame);

    std::optional<LivePhoto> m_livePhoto;
    ContentMode m_contentMode = ContentMode::aspectFit;
    bool m_playing = false;
    // Made on the first press: loading the media backend is not free.
    QMediaPlayer* m_player = nullptr;
    QVideoSink* m_videoSink = nullptr;
    PlaybackStallGuard* m_stallGuard = nullptr;
    int m_restartsLeft = 0;
    // Made when a sound device is there to play on.
    QAudioOutput* m_audioOutput = nullptr;
    QImage m_movieFrame;
};

} // namespace Lumen
