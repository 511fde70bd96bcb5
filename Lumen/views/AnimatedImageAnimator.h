#pragma once

#include "Lumen/foundation/Delegate.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/LibraryDefaults.h"
#include "Lumen/foundation/imaging/ImageFrameSource.h"
#include "Lumen/views/AnimatedFrame.h"
#include "Lumen/views/AnimatedImageRepeatCount.h"
#include "Lumen/views/SafeArray.h"

#include <QSize>
#include <QSizeF>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace Lumen {

inline constexpr char animatorPreloadQueueLabel[] = "com.vantrel.Lumen.Animator.preloadQueue";

// Plays an animated image's frames for an animated image view while keeping only a window of
// them decoded: the current frame and up to `maxFrameCount` frames ahead. Frames are decoded
// on a serial preload queue; as playback advances, frames left behind are dropped and the
// ones ahead decoded. Playback (`updateTime`, `advanceFrame`) and `setSize` belong to the GUI
// thread; the frame queries may be asked from any thread.
class AnimatedImageAnimator : public std::enable_shared_from_this<AnimatedImageAnimator> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using RepeatCount = AnimatedImageRepeatCount;

    struct Configuration {
        // Pixels to decode frames for; a zero side means frames are decoded at full size.
        QSizeF size{};
        // The animation's own pixel size.
        QSize imageSize{};
        // Frames decoded ahead of the current one; less than 1 counts as 1.
        int framePreloadCount = Defaults::animatedImageFramePreloadCount;
        RepeatCount repeatCount = RepeatCount::infinite();
        // Decode frames no larger than `size` rather than at the source's size.
        bool needsPrescaling = true;
        // Where frames are decoded; a serial queue of the animator's own when not given.
        std::shared_ptr<DispatchQueue> preloadQueue{};
    };

    // The longest time one tick may add, so that a stall does not skip far ahead.
    static constexpr double maxTimeStep = 1.0;

    // `frameSource` must not be null; the animator keeps it for its own use (pass a copy).
    static std::shared_ptr<AnimatedImageAnimator> make(std::shared_ptr<ImageFrameSource> frameSource,
                                                       Configuration configuration);
    AnimatedImageAnimator(Passkey, std::shared_ptr<ImageFrameSource> frameSource, Configuration configuration);

    AnimatedImageAnimator(const AnimatedImageAnimator&) = delete;
    AnimatedImageAnimator& operator=(const AnimatedImageAnimator&) = delete;

    // Lists the frames and decodes the first window, on the preload queue.
    void prepareFrames();

    // Adds one tick's time (capped at `maxTimeStep`) and moves to the next frame once the
    // current one has been shown long enough: at most one frame per tick, the surplus kept
    // for the following ticks. Answers whether the frame changed.
    bool updateTime(double tickSeconds);
    // Moves to the next frame, counts a loop on reaching the last frame, and schedules the
    // preload window to follow.
    void advanceFrame();

    // Bounds later decodes to `size` (a zero side lifts the bound). When that lets frames come
    // out larger than the decoded ones, the window is decoded again.
    void setSize(QSizeF size);

    // The decoded image of a frame; null for a placeholder or an index out of range.
    ImagePtr frame(int index) const;
    // Seconds a frame is shown; infinity for an index not listed (yet).
    double duration(int index) const;
    ImagePtr currentImage() const { return frame(currentFrameIndex()); }
    double currentDuration() const { return duration(currentFrameIndex()); }

    int frameCount() const { return m_frameCount; }
    int maxFrameCount() const { return m_maxFrameCount; }
    int currentFrameIndex() const { return m_currentFrameIndex.load(std::memory_order_acquire); }
    unsigned currentRepeatCount() const { return m_currentRepeatCount; }
    bool isRepeatLimitReached() const { return m_maxRepeatCount.isReached(m_currentRepeatCount); }
    bool isFinished() const { return m_isFinished; }
    // Whether the window holds fewer frames than the animation, so frames come and go.
    bool needsPreloading() const { return m_maxFrameCount < m_frameCount - 1; }
    // One loop's time in seconds, each frame counted at most `maxTimeStep`; 0 until listed.
    double loopDuration() const { return m_loopDuration.load(std::memory_order_acquire); }

    // The frames kept decoded ahead of frame `index`: up to `maxFrameCount` following ones,
    // wrapping around the end.
    std::vector<int> preloadIndexes(int index) const;

    // Told the loop count when a loop ends and when the repeat limit is reached (GUI thread).
    Delegate<unsigned>& delegate() { return m_delegate; }

private:
    enum class WindowRefresh { decodeMissing, decodeAgain };

    void loadInitialFrames();
    // Drops every decoded frame outside the window of the current frame and decodes the
    // window's frames. Reading the current frame when it runs rather than when it was
    // scheduled keeps the window right when preloading falls behind playback.
    void refreshFrames(WindowRefresh refresh);
    ImagePtr loadFrame(int index) const;
    // The longer side of frames decoded for `size`.
    double decodedSide(QSizeF size) const;
    // Runs `job` on the preload queue unless the animator is gone by then.
    void schedule(std::move_only_function<void(AnimatedImageAnimator&)> job);

    const std::shared_ptr<ImageFrameSource> m_frameSource;
    const QSize m_imageSize;
    const int m_maxFrameCount;
    const int m_frameCount;
    const RepeatCount m_maxRepeatCount;
    const bool m_needsPrescaling;
    const std::shared_ptr<DispatchQueue> m_preloadQueue;

    mutable std::mutex m_sizeMutex;
    QSizeF m_size;

    SafeArray<AnimatedFrame> m_animatedFrames;
    std::atomic<double> m_loopDuration = 0.0;
    std::atomic<int> m_currentFrameIndex = 0;
    std::atomic<bool> m_isRedecodeScheduled = false;

    // GUI thread only.
    double m_timeSinceLastFrameChange = 0.0;
    unsigned m_currentRepeatCount = 0;
    bool m_isFinished = false;
    Delegate<unsigned> m_delegate;
};

} // namespace Lumen
