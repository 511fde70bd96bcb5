#pragma once

#include "Lumen/foundation/Image.h"

#include <memory>

namespace Lumen {

class AnimatedImageView;
class LMImageContext;

// What the image layer of an `LMAnimatedImage` is made of: one image and the context whose
// render configurations shape the view that plays it. GUI thread only.
class LMAnimatedImageViewRepresenter {
public:
    LMAnimatedImageViewRepresenter(ImagePtr image, std::shared_ptr<const LMImageContext> context);

    // A new view, shaped by the render configurations in the order they were added, showing
    // the image. Layouts may shrink it below the image's size, whatever a configuration set.
    std::unique_ptr<AnimatedImageView> makeView() const;
    // The view shows the image; the same image again changes nothing.
    void updateView(AnimatedImageView& view) const;

private:
    ImagePtr m_image;
    std::shared_ptr<const LMImageContext> m_context;
};

} // namespace Lumen
