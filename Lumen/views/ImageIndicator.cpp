#include "Lumen/views/ImageIndicator.h"

#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/foundation/LumenOptionsInfo.h"

namespace Lumen {

std::shared_ptr<ImageIndicator> ImageIndicator::make(const QByteArray& data)
{
    return make(data, LumenParsedOptionsInfo());
}

std::shared_ptr<ImageIndicator> ImageIndicator::make(const QByteArray& data, LumenParsedOptionsInfo options)
{
    options.preloadAllAnimationData = true;
    ImagePtr image = DefaultImageProcessor::shared()->process(ImageProcessItem{data}, options);
    if (!image)
        return nullptr;
    return std::make_shared<ImageIndicator>(Passkey(), std::move(image));
}

ImageIndicator::ImageIndicator(Passkey, ImagePtr image)
    : m_view(new ImageIndicatorView(std::move(image)))
{
}

void ImageIndicator::startAnimatingView()
{
    setAnimating(true);
}

void ImageIndicator::stopAnimatingView()
{
    setAnimating(false);
}

void ImageIndicator::setAnimating(bool animating)
{
    if (ImageIndicatorView* imageView = m_view.get())
        imageView->setAnimates(animating);
    m_view.setShown(animating);
}

} // namespace Lumen
