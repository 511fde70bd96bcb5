#include "Lumen/views/ImageIndicatorView.h"

#include "Lumen/foundation/imaging/GIFAnimatedImage.h"
#include "Lumen/foundation/imaging/ImageFrameSource.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace Lumen {

namespace {

int milliseconds(double seconds)
{
    // GIF delays top out at 655.35 s, so the clamp only guards odd frame sources.
    constexpr double longest = 3600.0;
    return static_cast<int>(std::lround(std::clamp(seconds, 0.001, longest) * 1000.0));
}

} // namespace

ImageIndicatorView::ImageIndicatorView(ImagePtr image, QWidget* parent)
    : QWidget(parent)
    , m_image(image ? std::move(image) : Image::makeEmpty())
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const auto frames = m_image->images();
    const auto isFrame = [](const ImagePtr& frame) { return frame != nullptr; };
    if (frames && frames->size() > 1 && std::ranges::all_of(*frames, isFrame)) {
        m_frames = *frames;
        const auto source = m_image->frameSource();
        for (int index = 0; index < m_frames.size(); ++index)
            m_frameMilliseconds.append(milliseconds(source ? source->duration(index)
                                                           : GIFAnimatedImage::frameDuration(std::nullopt)));
    }
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, [this] { showNextFrame(); });
    resize(sizeHint());
}

void ImageIndicatorView::setAnimates(bool animates)
{
    m_animates = animates;
    if (animates)
        scheduleNextFrame();
    else
        m_frameTimer.stop();
}

QSize ImageIndicatorView::sizeHint() const
{
    return m_image->size().toSize();
}

void ImageIndicatorView::paintEvent(QPaintEvent*)
{
    const ImagePtr& frame = currentFrame();
    if (!frame->hasBitmap())
        return;
    QRectF target(QPointF(), frame->size());
    target.moveCenter(QRectF(rect()).center());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, frame->bitmap());
}

void ImageIndicatorView::scheduleNextFrame()
{
    if (m_frames.isEmpty() || m_frameTimer.isActive())
        return;
    m_frameTimer.start(m_frameMilliseconds[m_frameIndex]);
}

void ImageIndicatorView::showNextFrame()
{
    m_frameIndex = (m_frameIndex + 1) % m_frames.size();
    update();
    scheduleNextFrame();
}

const ImagePtr& ImageIndicatorView::currentFrame() const
{
    return m_frames.isEmpty() ? m_image : m_frames[m_frameIndex];
}

} // namespace Lumen
