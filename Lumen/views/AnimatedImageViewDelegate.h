#pragma once

namespace Lumen {

class AnimatedImageView;

// Hears how an animated image view's playback goes. Both hooks are called on the GUI thread
// and do nothing unless overridden.
class AnimatedImageViewDelegate {
public:
    virtual ~AnimatedImageViewDelegate() = default;

    // A loop ended (or the last loop reached its last frame); `loops` counts the loops so far.
    virtual void animatedImageViewDidFinishLoops(AnimatedImageView& /*view*/, unsigned /*loops*/) {}
    // Playback stopped for good after the last loop.
    virtual void animatedImageViewDidFinish(AnimatedImageView& /*view*/) {}
};

} // namespace Lumen
