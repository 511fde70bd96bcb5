#include "Lumen/views/AnimatedImageAnimator.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace Lumen {

std::shared_ptr<AnimatedImageAnimator> AnimatedImageAnimator::make(std::shared_ptr<ImageFrameSource> frameSource,
                                                                   Configuration configuration)
{
    return std::make_shared<AnimatedImageAnimator>(Passkey(), std::move(frameSource), std::move(configuration));
}

AnimatedImageAnimator::AnimatedImageAnimator(Passkey, std::shared_ptr<ImageFrameSource> frameSource,
                                             Configuration configuration)
    : m_frameSource(std::move(frameSource))
    , m_imageSize(configuration.imageSize)
    // A window of 0 frames would make every frame "ahead" and so keep them all decoded.
    , m_maxFrameCount(std::max(1, configuration.framePreloadCount))
    , m_frameCount(std::max(0, m_frameSource->frameCount()))
    , m_maxRepeatCount(configuration.repeatCount)
    , m_needsPrescaling(configuration.needsPrescaling)
    , m_preloadQueue(configuration.preloadQueue
                         ? std::move(configuration.preloadQueue)
                         : DispatchQueue::makeSerial(QString::fromLatin1(animatorPreloadQueueLabel)))
    , m_size(configuration.size)
{
}

void AnimatedImageAnimator::prepareFrames()
{
    schedule([](AnimatedImageAnimator& animator) { animator.loadInitialFrames(); });
}

bool AnimatedImageAnimator::updateTime(double tickSeconds)
{
    m_timeSinceLastFrameChange += std::min(tickSeconds, maxTimeStep);
    const double shown = currentDuration();
    if (!(m_timeSinceLastFrameChange >= shown))
        return false;
    m_timeSinceLastFrameChange -= shown;
    advanceFrame();
    return true;
}

void AnimatedImageAnimator::advanceFrame()
{
    if (m_frameCount == 0)
        return;
    const int previous = currentFrameIndex();
    const int current = (previous + 1) % m_frameCount;
    m_currentFrameIndex.store(current, std::memory_order_release);
    if (needsPreloading())
        schedule([](AnimatedImageAnimator& animator) { animator.refreshFrames(WindowRefresh::decodeMissing); });

    if (current == m_frameCount - 1) {
        ++m_currentRepeatCount;
        if (isRepeatLimitReached()) {
            m_isFinished = true;
            m_delegate.call(m_currentRepeatCount);
        }
    } else if (previous == m_frameCount - 1) {
        m_delegate.call(m_currentRepeatCount);
    }
}

void AnimatedImageAnimator::setSize(QSizeF size)
{
    double previousSide;
    {
        std::lock_guard lock(m_sizeMutex);
        previousSide = decodedSide(m_size);
        m_size = size;
    }
    // One pending pass serves any number of growth steps: it reads the size when it runs.
    if (decodedSide(size) > previousSide && !m_isRedecodeScheduled.exchange(true)) {
        schedule([](AnimatedImageAnimator& animator) {
            animator.m_isRedecodeScheduled.store(false);
            animator.refreshFrames(WindowRefresh::decodeAgain);
        });
    }
}

ImagePtr AnimatedImageAnimator::frame(int index) const
{
    const auto slot = m_animatedFrames.at(index);
    return slot ? slot->image : nullptr;
}

double AnimatedImageAnimator::duration(int index) const
{
    const auto slot = m_animatedFrames.at(index);
    return slot ? slot->duration : std::numeric_limits<double>::infinity();
}

std::vector<int> AnimatedImageAnimator::preloadIndexes(int index) const
{
    std::vector<int> indexes;
    if (m_frameCount == 0)
        return indexes;
    const int from = (index % m_frameCount + m_frameCount) % m_frameCount;
    const int ahead = std::min(m_maxFrameCount, m_frameCount - 1);
    indexes.reserve(static_cast<std::size_t>(ahead));
    for (int step = 1; step <= ahead; ++step)
        indexes.push_back((from + step) % m_frameCount);
    return indexes;
}

void AnimatedImageAnimator::loadInitialFrames()
{
    m_animatedFrames.removeAll();
    m_animatedFrames.reserveCapacity(static_cast<std::size_t>(m_frameCount));
    double loopDuration = 0.0;
    for (int index = 0; index < m_frameCount; ++index) {
        const double duration = m_frameSource->duration(index);
        m_animatedFrames.append(AnimatedFrame{nullptr, duration});
        if (index <= m_maxFrameCount)
            m_animatedFrames.set(index, AnimatedFrame{loadFrame(index), duration});
        loopDuration += std::min(duration, maxTimeStep);
    }
    m_loopDuration.store(loopDuration, std::memory_order_release);
}

void AnimatedImageAnimator::refreshFrames(WindowRefresh refresh)
{
    const int count = static_cast<int>(m_animatedFrames.count());
    if (count == 0)
        return;
    const int current = currentFrameIndex();
    std::vector<int> window = preloadIndexes(current);
    window.insert(window.begin(), current);
    if (needsPreloading()) {
        std::vector<bool> inWindow(static_cast<std::size_t>(count), false);
        for (int index : window)
            inWindow[static_cast<std::size_t>(index)] = true;
        for (int index = 0; index < count; ++index) {
            const auto slot = m_animatedFrames.at(index);
            if (!inWindow[static_cast<std::size_t>(index)] && slot && !slot->isPlaceholder())
                m_animatedFrames.set(index, slot->placeholder());
        }
    }
    for (int index : window) {
        const auto slot = m_animatedFrames.at(index);
        if (slot && (slot->isPlaceholder() || refresh == WindowRefresh::decodeAgain))
            m_animatedFrames.set(index, AnimatedFrame{loadFrame(index), slot->duration});
    }
}

ImagePtr AnimatedImageAnimator::loadFrame(int index) const
{
    QSizeF size;
    {
        std::lock_guard lock(m_sizeMutex);
        size = m_size;
    }
    const bool bounded = m_needsPrescaling && size.width() > 0 && size.height() > 0;
    QImage pixels = m_frameSource->frame(index, bounded ? std::optional(size) : std::nullopt);
    return pixels.isNull() ? nullptr : Image::make(std::move(pixels));
}

double AnimatedImageAnimator::decodedSide(QSizeF size) const
{
    const double fullSide = std::max(m_imageSize.width(), m_imageSize.height());
    if (!m_needsPrescaling || !(size.width() > 0 && size.height() > 0))
        return fullSide;
    return std::min(std::max(size.width(), size.height()), fullSide);
}

void AnimatedImageAnimator::schedule(std::move_only_function<void(AnimatedImageAnimator&)> job)
{
    m_preloadQueue->async([weak = weak_from_this(), job = std::move(job)]() mutable {
        if (const auto animator = weak.lock())
            job(*animator);
    });
}

} // namespace Lumen
