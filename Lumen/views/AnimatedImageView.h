#pragma once

#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/DisplayLink.h"
#include "Lumen/foundation/DisplayLinkTickSource.h"
#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/LibraryDefaults.h"
#include "Lumen/foundation/LumenHasImageComponent.h"
#include "Lumen/views/AnimatedImageAnimator.h"
#include "Lumen/views/AnimatedImageRepeatCount.h"
#include "Lumen/views/AnimatedImageViewDelegate.h"
#include "Lumen/views/ImageScaling.h"

#include <QWidget>

#include <memory>

namespace Lumen {

// An image view that plays animated images (images carrying a frame source, such as decoded
// GIFs) frame by frame on a display link, keeping only a window of decoded frames in memory.
// Other images show as stills. With `autoPlayAnimatedImage` it plays while shown and pauses
// while hidden, resuming where it stopped. GUI thread only; destroy it with `deleteLater`
// from inside one of its delegate's hooks.
class AnimatedImageView : public QWidget, public LumenHasImageComponent {
    Q_OBJECT
    // Asked by image loading: this view plays frames from the frame source, so loaders need
    // not decode every frame up front.
    Q_PROPERTY(bool shouldPreloadAllAnimation READ shouldPreloadAllAnimation CONSTANT)

public:
    using Animator = AnimatedImageAnimator;
    using RepeatCount = AnimatedImageRepeatCount;

    // Where the display link ticks. Qt's GUI thread has a single event loop whose timers also
    // fire inside nested loops (modal dialogs, menus, drags), which is what `common` means, so
    // the modes cannot be told apart here: the setting is kept but does not change playback.
    enum class RunLoopMode { common, defaultMode };

    explicit AnimatedImageView(QWidget* parent = nullptr);
    // `tickSource` drives the display link instead of a timer at the screen's refresh rate.
    explicit AnimatedImageView(std::unique_ptr<DisplayLinkTickSource> tickSource, QWidget* parent = nullptr);

    // An image placeholder shows through these as any image does.
    ImagePtr image() const override { return m_image; }
    // Setting another image object starts it over; setting the same one again changes nothing.
    void setImage(ImagePtr image) override;

    bool autoPlayAnimatedImage() const { return m_autoPlayAnimatedImage; }
    void setAutoPlayAnimatedImage(bool autoPlay) { m_autoPlayAnimatedImage = autoPlay; }
    // Frames decoded ahead of the current one. This and prescaling apply from the next start
    // over (a new image or repeat count).
    int framePreloadCount() const { return m_framePreloadCount; }
    void setFramePreloadCount(int count) { m_framePreloadCount = count; }
    // Whether frames are decoded no larger than the view's pixel size.
    bool needsPrescaling() const { return m_needsPrescaling; }
    void setNeedsPrescaling(bool prescale) { m_needsPrescaling = prescale; }
    // Kept for the code that configures the view; frames are decoded off the GUI thread
    // whatever it says.
    bool backgroundDecode() const { return m_backgroundDecode; }
    void setBackgroundDecode(bool decode) { m_backgroundDecode = decode; }
    RunLoopMode runLoopMode() const { return m_runLoopMode; }
    void setRunLoopMode(RunLoopMode mode) { m_runLoopMode = mode; }
    const RepeatCount& repeatCount() const { return m_repeatCount; }
    // A different count starts the animation over.
    void setRepeatCount(RepeatCount count);
    ImageScaling imageScaling() const { return m_imageScaling; }
    void setImageScaling(ImageScaling scaling);
    std::weak_ptr<AnimatedImageViewDelegate> delegate() const { return m_delegate; }
    void setDelegate(std::weak_ptr<AnimatedImageViewDelegate> delegate) { m_delegate = std::move(delegate); }

    // Whether the animation is playing; setting it starts or stops it.
    bool animates() const;
    void setAnimates(bool animates);
    bool shouldPreloadAllAnimation() const { return false; }

    // Plays from the current frame, unless there is nothing to play or the repeat count has
    // been used up.
    void startAnimating();
    void stopAnimating();
    // Builds playback anew for the current image.
    void reset();

    // Null while the image is still, absent or has no frames.
    const std::shared_ptr<Animator>& animator() const { return m_animator; }
    // The last frame drawn, or the whole image until a frame is.
    const ImagePtr& currentFrame() const { return m_currentFrame; }

    // The image's size in points.
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateFrameIfNeeded();
    void didMove();
    void animatorDidPlayLoops(unsigned loops);
    DisplayLink& displayLink();
    const std::shared_ptr<DispatchQueue>& preloadQueue();
    // Pixels to prescale frames for: none until the view has been given its size (a child
    // widget starts at a made-up size), since frames decoded too small would look blurred.
    QSizeF targetPixelSize() const;

    ImagePtr m_image;
    bool m_autoPlayAnimatedImage = true;
    int m_framePreloadCount = Defaults::animatedImageFramePreloadCount;
    bool m_needsPrescaling = true;
    bool m_backgroundDecode = true;
    RunLoopMode m_runLoopMode = RunLoopMode::common;
    RepeatCount m_repeatCount = RepeatCount::infinite();
    ImageScaling m_imageScaling = ImageScaling::scaleProportionallyDown;
    std::weak_ptr<AnimatedImageViewDelegate> m_delegate;

    std::shared_ptr<Animator> m_animator;
    std::shared_ptr<DispatchQueue> m_preloadQueue;
    std::unique_ptr<DisplayLinkTickSource> m_tickSource; // until the display link takes it
    std::unique_ptr<DisplayLink> m_displayLink;
    ImagePtr m_currentFrame;
    bool m_isOnScreen = false;
};

} // namespace Lumen
