#include "Lumen/foundation/ImagePlaceholder.h"

#include "Lumen/foundation/LumenHasImageComponent.h"

#include <QLabel>
#include <QPixmap>

#include <utility>

namespace Lumen {

ImagePlaceholder::ImagePlaceholder(ImagePtr image)
    : m_image(std::move(image))
{
}

void ImagePlaceholder::addTo(QWidget& imageView)
{
    display(imageView, m_image);
}

void ImagePlaceholder::removeFrom(QWidget& imageView)
{
    display(imageView, nullptr);
}

void ImagePlaceholder::addTo(LumenHasImageComponent& control) const
{
    control.setImage(m_image);
}

void ImagePlaceholder::removeFrom(LumenHasImageComponent& control) const
{
    control.setImage(nullptr);
}

void ImagePlaceholder::display(QWidget& imageView, const ImagePtr& image) const
{
    // A view that knows its own image type takes precedence over the plain label path.
    if (auto* control = dynamic_cast<LumenHasImageComponent*>(&imageView)) {
        control->setImage(image);
        return;
    }
    auto* label = qobject_cast<QLabel*>(&imageView);
    if (!label)
        return;
    if (!image || !image->hasBitmap()) {
        label->setPixmap(QPixmap());
        return;
    }
    QPixmap pixmap = QPixmap::fromImage(image->bitmap());
    pixmap.setDevicePixelRatio(image->scale());
    label->setPixmap(pixmap);
}

} // namespace Lumen
