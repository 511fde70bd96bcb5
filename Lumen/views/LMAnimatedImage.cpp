#include "Lumen/views/LMAnimatedImage.h"

#include "Lumen/views/AnimatedImageView.h"
#include "Lumen/views/LMAnimatedImageViewRepresenter.h"

#include <QVBoxLayout>

namespace Lumen {

LMAnimatedImage& LMAnimatedImage::configure(Context::RenderConfiguration configuration)
{
    context()->appendRenderConfiguration(configuration);
    if (m_view)
        configuration(*m_view);
    return *this;
}

void LMAnimatedImage::renderImageLayer(const ImagePtr& loadedImage, bool loaded)
{
    const LMAnimatedImageViewRepresenter representer(loadedImage, context());
    if (m_view) {
        representer.updateView(*m_view);
    } else if (loaded) {
        // Made when the first load ends, after the chained setters have added their
        // configurations. Laid out so that its size hint and policy become this widget's.
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        m_view = representer.makeView().release();
        layout->addWidget(m_view);
        // Under a placeholder that stays after a failure.
        m_view->lower();
    }
    if (m_view)
        m_view->setVisible(loaded);
}

} // namespace Lumen
