#pragma once

#include "Lumen/views/LMImageViewBase.h"

#include <QPointer>

namespace Lumen {

class AnimatedImageView;

// A widget that plays a remote or provided animated image (a still one shows as it is),
// configured by chained setters:
//
//   (new LMAnimatedImage(url, std::nullopt, parent))->configure([](AnimatedImageView& view) {
//       view.setRepeatCount(AnimatedImageView::RepeatCount::once());
//   }).fade(0.25);
//
// Loading, placeholder, fade and appearance are those of `LMImageViewBase`. The image plays
// in an `AnimatedImageView` made inside it when the first load ends; it prefers the image's
// size and lets layouts shrink it.
class LMAnimatedImage : public LMImageView<LMAnimatedImage> {
    Q_OBJECT

public:
    using LMImageView::LMImageView;

    // Null until the first load has ended.
    AnimatedImageView* animatedImageView() const { return m_view; }

    // Shapes the view that plays the image, after the configurations added before it; a view
    // already made is shaped at once.
    LMAnimatedImage& configure(Context::RenderConfiguration configuration);

protected:
    void renderImageLayer(const ImagePtr& loadedImage, bool loaded) override;

private:
    QPointer<AnimatedImageView> m_view;
};

} // namespace Lumen
