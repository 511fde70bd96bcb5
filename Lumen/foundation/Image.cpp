#include "Lumen/foundation/Image.h"

#include <cmath>
#include <utility>

namespace Lumen {

namespace {

double usableScale(double scale)
{
    return std::isfinite(scale) && scale > 0.0 ? scale : 1.0;
}

} // namespace

ImagePtr Image::make(QImage bitmap, double scale)
{
    return std::make_shared<Image>(Passkey{}, std::move(bitmap), scale);
}

ImagePtr Image::makeEmpty()
{
    return make(QImage());
}

Image::Image(Passkey, QImage bitmap, double scale)
    : m_bitmap(std::move(bitmap))
    , m_scale(usableScale(scale))
{
}

QSize Image::pixelSize() const
{
    return m_bitmap.isNull() ? QSize(0, 0) : m_bitmap.size();
}

QSizeF Image::size() const
{
    const QSize pixels = pixelSize();
    return QSizeF(pixels.width() / m_scale, pixels.height() / m_scale);
}

std::optional<QByteArray> Image::animatedImageData() const
{
    std::lock_guard lock(m_attachedMutex);
    return m_animatedImageData;
}

void Image::setAnimatedImageData(std::optional<QByteArray> data)
{
    std::lock_guard lock(m_attachedMutex);
    m_animatedImageData = std::move(data);
}

std::optional<int> Image::imageFrameCount() const
{
    std::lock_guard lock(m_attachedMutex);
    return m_imageFrameCount;
}

void Image::setImageFrameCount(std::optional<int> count)
{
    std::lock_guard lock(m_attachedMutex);
    m_imageFrameCount = count;
}

std::shared_ptr<ImageFrameSource> Image::frameSource() const
{
    std::lock_guard lock(m_attachedMutex);
    return m_frameSource;
}

void Image::setFrameSource(std::shared_ptr<ImageFrameSource> source)
{
    // The previous source is released after the lock, so its destructor never runs under it.
    std::shared_ptr<ImageFrameSource> previous;
    {
        std::lock_guard lock(m_attachedMutex);
        previous = std::exchange(m_frameSource, std::move(source));
    }
}

std::optional<ImageCreatingOptions> Image::imageCreatingOptions() const
{
    std::lock_guard lock(m_attachedMutex);
    return m_imageCreatingOptions;
}

void Image::setImageCreatingOptions(std::optional<ImageCreatingOptions> options)
{
    std::lock_guard lock(m_attachedMutex);
    m_imageCreatingOptions = options;
}

std::optional<QList<ImagePtr>> Image::images() const
{
    std::lock_guard lock(m_attachedMutex);
    return m_images;
}

void Image::setImages(std::optional<QList<ImagePtr>> frames)
{
    // As with the frame source: dropped frames are destroyed outside the lock.
    std::optional<QList<ImagePtr>> previous;
    {
        std::lock_guard lock(m_attachedMutex);
        previous = std::exchange(m_images, std::move(frames));
    }
}

std::optional<double> Image::duration() const
{
    std::lock_guard lock(m_attachedMutex);
    return m_duration;
}

void Image::setDuration(std::optional<double> seconds)
{
    std::lock_guard lock(m_attachedMutex);
    m_duration = seconds;
}

} // namespace Lumen
