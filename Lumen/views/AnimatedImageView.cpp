#include "Lumen/views/AnimatedImageView.h"

#include "Lumen/foundation/imaging/ImageFrameSource.h"

#include <QPainter>

namespace Lumen {

AnimatedImageView::AnimatedImageView(QWidget* parent) : AnimatedImageView(nullptr, parent) {}

AnimatedImageView::AnimatedImageView(std::unique_ptr<DisplayLinkTickSource> tickSource, QWidget* parent)
    : QWidget(parent)
    , m_tickSource(std::move(tickSource))
{
}

void AnimatedImageView::setImage(ImagePtr image)
{
    const bool changed = image != m_image;
    m_image = std::move(image);
    if (changed) {
        reset();
        updateGeometry();
    }
    update();
}

void AnimatedImageView::setRepeatCount(RepeatCount count)
{
    if (count == m_repeatCount)
        return;
    m_repeatCount = count;
    reset();
    update();
}

void AnimatedImageView::setImageScaling(ImageScaling scaling)
{
    m_imageScaling = scaling;
    update();
}

bool AnimatedImageView::animates() const
{
    return m_displayLink && !m_displayLink->isPaused();
}

void AnimatedImageView::setAnimates(bool animates)
{
    if (animates)
        startAnimating();
    else
        stopAnimating();
}

void AnimatedImageView::startAnimating()
{
    if (!m_animator || m_animator->isRepeatLimitReached())
        return;
    displayLink().setPaused(false);
}

void AnimatedImageView::stopAnimating()
{
    if (m_displayLink)
        m_displayLink->setPaused(true);
}

void AnimatedImageView::reset()
{
    m_animator.reset();
    m_currentFrame = m_image;
    const auto frameSource = m_image ? m_image->frameSource() : nullptr;
    if (frameSource && frameSource->frameCount() > 0) {
        m_animator = Animator::make(frameSource->copy(), Animator::Configuration{
                                                             .size = targetPixelSize(),
                                                             .imageSize = m_image->pixelSize(),
                                                             .framePreloadCount = m_framePreloadCount,
                                                             .repeatCount = m_repeatCount,
                                                             .needsPrescaling = m_needsPrescaling,
                                                             .preloadQueue = preloadQueue(),
                                                         });
        m_animator->delegate().delegate(
            this, [](AnimatedImageView& view, const unsigned& loops) { view.animatorDidPlayLoops(loops); });
        m_animator->prepareFrames();
    } else {
        // Nothing to play: the display link need not keep ticking.
        stopAnimating();
    }
    didMove();
}

QSize AnimatedImageView::sizeHint() const
{
    return m_image ? m_image->size().toSize() : QWidget::sizeHint();
}

void AnimatedImageView::paintEvent(QPaintEvent*)
{
    // A frame not decoded in time leaves the last one drawn on screen.
    if (ImagePtr frame = m_animator ? m_animator->currentImage() : nullptr)
        m_currentFrame = std::move(frame);
    if (!m_currentFrame || !m_currentFrame->hasBitmap())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageScalingRect(m_currentFrame->size(), rect(), m_imageScaling), m_currentFrame->bitmap());
}

void AnimatedImageView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_animator)
        m_animator->setSize(targetPixelSize());
}

void AnimatedImageView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_isOnScreen = true;
    if (m_animator)
        m_animator->setSize(targetPixelSize());
    didMove();
}

void AnimatedImageView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_isOnScreen = false;
    didMove();
}

void AnimatedImageView::updateFrameIfNeeded()
{
    // Held for the tick: a delegate may replace the image while it is told about a loop.
    const std::shared_ptr<Animator> animator = m_animator;
    if (!animator)
        return;
    if (animator->isFinished()) {
        stopAnimating();
        if (const auto delegate = m_delegate.lock())
            delegate->animatedImageViewDidFinish(*this);
        return;
    }
    const DisplayLink& link = displayLink();
    const int framesPerSecond = link.preferredFramesPerSecond();
    const double tickSeconds = framesPerSecond > 0 ? 1.0 / framesPerSecond : link.duration();
    if (animator->updateTime(tickSeconds))
        update();
}

void AnimatedImageView::didMove()
{
    if (!m_autoPlayAnimatedImage || !m_animator)
        return;
    if (m_isOnScreen)
        startAnimating();
    else
        stopAnimating();
}

void AnimatedImageView::animatorDidPlayLoops(unsigned loops)
{
    if (const auto delegate = m_delegate.lock())
        delegate->animatedImageViewDidFinishLoops(*this, loops);
}

DisplayLink& AnimatedImageView::displayLink()
{
    if (!m_displayLink)
        m_displayLink = std::make_unique<DisplayLink>(this, &AnimatedImageView::updateFrameIfNeeded,
                                                      std::move(m_tickSource));
    return *m_displayLink;
}

const std::shared_ptr<DispatchQueue>& AnimatedImageView::preloadQueue()
{
    if (!m_preloadQueue)
        m_preloadQueue = DispatchQueue::makeSerial(QString::fromLatin1(animatorPreloadQueueLabel));
    return m_preloadQueue;
}

QSizeF AnimatedImageView::targetPixelSize() const
{
    if (!testAttribute(Qt::WA_Resized) && !isVisible())
        return QSizeF();
    return QSizeF(size()) * devicePixelRatioF();
}

} // namespace Lumen
