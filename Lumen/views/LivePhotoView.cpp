#include "Lumen/views/LivePhotoView.h"

#include "Lumen/views/PlaybackStallGuard.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QMouseEvent>
#include <QPainter>
#include <QTransform>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

#include <chrono>
#include <utility>

namespace Lumen {

namespace {

// Long enough that a movie still loading on a busy machine is not taken for a stalled one.
constexpr std::chrono::milliseconds stallWindow{2000};

void drawByContentMode(QPainter& painter, const QImage& image, QSizeF imageSize, const QRect& bounds,
                       ContentMode mode)
{
    QRectF target(QPointF(), resizedSize(imageSize, QSizeF(bounds.size()), mode));
    target.moveCenter(QRectF(bounds).center());
    painter.drawImage(target, image);
}

} // namespace

LivePhotoView::LivePhotoView(QWidget* parent)
    : QWidget(parent)
{
}

void LivePhotoView::setLivePhoto(std::optional<LivePhoto> livePhoto)
{
    stopMovie();
    m_livePhoto = std::move(livePhoto);
    update();
}

void LivePhotoView::setContentMode(ContentMode mode)
{
    m_contentMode = mode;
    update();
}

void LivePhotoView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_playing && !m_movieFrame.isNull())
        drawByContentMode(painter, m_movieFrame, QSizeF(m_movieFrame.size()), rect(), m_contentMode);
    else if (m_livePhoto && m_livePhoto->still()->hasBitmap())
        drawByContentMode(painter, m_livePhoto->still()->bitmap(), m_livePhoto->still()->size(), rect(),
                          m_contentMode);
}

void LivePhotoView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    playMovie();
}

void LivePhotoView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    stopMovie();
}

void LivePhotoView::makePlayer()
{
    if (m_player)
        return;
    m_player = new QMediaPlayer(this);
    m_videoSink = new QVideoSink(this);
    m_player->setVideoSink(m_videoSink);
    // Frames come from the backend's threads; queued to this thread through the context object.
    connect(m_videoSink, &QVideoSink::videoFrameChanged, this,
            [this](const QVideoFrame& frame) { showMovieFrame(frame); });
    // Queued, so the player is never stopped from inside its own signal; the state is read on
    // arrival, so a report that a newer playback has overtaken is ignored.
    connect(
        m_player, &QMediaPlayer::mediaStatusChanged, this,
        [this] {
            if (m_player->mediaStatus() == QMediaPlayer::EndOfMedia)
                stopMovie();
        },
        Qt::QueuedConnection);
    connect(
        m_player, &QMediaPlayer::errorOccurred, this,
        [this] {
            if (m_player->error() != QMediaPlayer::NoError)
                stopMovie();
        },
        Qt::QueuedConnection);
    m_stallGuard = new PlaybackStallGuard([this] { return m_player->position(); }, stallWindow, this);
    connect(m_stallGuard, &PlaybackStallGuard::stalled, this, [this] { recoverFromStall(); });
}

void LivePhotoView::playMovie()
{
    if (!m_livePhoto || m_playing)
        return;
    makePlayer();
    routeSound();
    m_playing = true;
    m_restartsLeft = 1;
    startPlayback();
}

void LivePhotoView::startPlayback()
{
    m_player->setSource(QUrl::fromLocalFile(m_livePhoto->moviePath()));
    m_player->play();
    m_stallGuard->start();
}

void LivePhotoView::recoverFromStall()
{
    // Stuck at its end, the movie has played: only the report of its end went missing.
    const bool atEnd = m_player->duration() > 0 && m_player->position() >= m_player->duration();
    if (atEnd || m_restartsLeft == 0)
        return stopMovie();
    // Opened afresh, the movie plays; a second stall gives way to the still.
    --m_restartsLeft;
    unloadMovie();
    startPlayback();
}

void LivePhotoView::unloadMovie()
{
    m_stallGuard->stop();
    m_player->stop();
    m_player->setSource(QUrl());
}

void LivePhotoView::routeSound()
{
    // Qt's FFmpeg backend crashes on a movie with sound when its output has no device, as on a
    // machine without a sound server: such movies then play silently.
    if (QMediaDevices::audioOutputs().isEmpty()) {
        m_player->setAudioOutput(nullptr);
        return;
    }
    if (!m_audioOutput)
        m_audioOutput = new QAudioOutput(this);
    m_player->setAudioOutput(m_audioOutput);
}

void LivePhotoView::stopMovie()
{
    m_playing = false;
    m_movieFrame = QImage();
    if (m_player)
        unloadMovie();
    update();
}

void LivePhotoView::showMovieFrame(const QVideoFrame& frame)
{
    if (!m_playing)
        return;
    QImage image = frame.toImage();
    if (image.isNull())
        return;
    // Qt Multimedia hands frames over as stored.
    if (const int rotation = m_livePhoto->movieRotation())
        image = image.transformed(QTransform().rotate(rotation));
    m_movieFrame = std::move(image);
    update();
}

} // namespace Lumen
