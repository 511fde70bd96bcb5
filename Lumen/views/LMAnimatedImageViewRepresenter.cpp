#include "Lumen/views/LMAnimatedImageViewRepresenter.h"

#include "Lumen/views/AnimatedImageView.h"
#include "Lumen/views/LMImageContext.h"

namespace Lumen {

LMAnimatedImageViewRepresenter::LMAnimatedImageViewRepresenter(ImagePtr image,
                                                               std::shared_ptr<const LMImageContext> context)
    : m_image(std::move(image))
    , m_context(std::move(context))
{
}

std::unique_ptr<AnimatedImageView> LMAnimatedImageViewRepresenter::makeView() const
{
    auto view = std::make_unique<AnimatedImageView>();
    for (const LMImageContext::RenderConfiguration& configuration : *m_context->renderConfigurations())
        configuration(*view);
    view->setImage(m_image);
    view->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    return view;
}

void LMAnimatedImageViewRepresenter::updateView(AnimatedImageView& view) const
{
    view.setImage(m_image);
}

} // namespace Lumen
