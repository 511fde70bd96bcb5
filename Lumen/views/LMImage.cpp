#include "Lumen/views/LMImage.h"

#include <QPainter>

namespace Lumen {
namespace {

// A configuration that sets one field of the content.
template <typename Field>
LMImage::Context::Configuration setting(Field LMImageContent::*field, Field value)
{
    return [field, value](LMImageContent content) {
        content.*field = value;
        return content;
    };
}

} // namespace

LMImage& LMImage::configure(Context::Configuration configuration)
{
    context()->appendConfiguration(std::move(configuration));
    render();
    return *this;
}

LMImage& LMImage::resizable(QMarginsF capInsets, LMImageContent::ResizingMode resizingMode)
{
    return configure([capInsets, resizingMode](LMImageContent content) {
        content.resizable = true;
        content.capInsets = capInsets;
        content.resizingMode = resizingMode;
        return content;
    });
}

LMImage& LMImage::interpolation(LMImageContent::Interpolation interpolation)
{
    return configure(setting(&LMImageContent::interpolation, interpolation));
}

LMImage& LMImage::antialiased(bool antialiased)
{
    return configure(setting(&LMImageContent::antialiased, antialiased));
}

LMImage& LMImage::aspectRatio(ContentMode contentMode)
{
    return configure(setting(&LMImageContent::contentMode, contentMode));
}

LMImage& LMImage::cornerRadius(double radius)
{
    return configure(setting(&LMImageContent::cornerRadius, radius));
}

LMImage& LMImage::renderingMode(LMImageContent::RenderingMode mode)
{
    return configure(setting(&LMImageContent::renderingMode, mode));
}

LMImage& LMImage::configureContent(Context::ContentConfiguration configuration)
{
    context()->setContentConfiguration(std::move(configuration));
    update();
    return *this;
}

void LMImage::renderImageLayer(const ImagePtr& loadedImage, bool)
{
    LMImageContent content;
    content.image = loadedImage;
    for (const Context::Configuration& configuration : *context()->configurations())
        content = configuration(std::move(content));
    if (m_drawing.setContent(std::move(content)))
        update();
}

void LMImage::paintEvent(QPaintEvent*)
{
    // Nothing shows until the load has ended, even an image set meanwhile by a configuration.
    if (!binder().loaded())
        return;
    QPainter painter(this);
    if (const Context::ContentConfiguration configuration = context()->contentConfiguration())
        configuration(painter, m_drawing.content());
    m_drawing.setTemplateColor(palette().color(QPalette::Text));
    m_drawing.paint(painter, QRectF(rect()), devicePixelRatioF());
}

} // namespace Lumen
