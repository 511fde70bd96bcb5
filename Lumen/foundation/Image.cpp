#include "Lumen/foundation/Image.h"

#include <QList>

#include <cmath>
#include <utility>

namespace Lumen {

namespace {

double usableScale(double scale)
{
    return std::isfinite(scale) && scale > 0.0 ? scale : 1.0;
}

bool isIndexed(QImage::Format format)
{
    return format == QImage::Format_Mono || format == QImage::Format_MonoLSB || format == QImage::Format_Indexed8;
}

// Qt's painting looks an indexed pixel up in the colour table without a bounds check, so a
// short table is completed: the entries it lacks read as the grey of their index.
QImage withCompleteColorTable(QImage bitmap)
{
    if (bitmap.isNull() || !isIndexed(bitmap.format()))
        return bitmap;
    const int entries = 1 << bitmap.depth();
    QList<QRgb> table = bitmap.colorTable();
    if (table.size() >= entries)
        return bitmap;
    const int step = 255 / (entries - 1);
    for (int index = int(table.size()); index < entries; ++index)
        table.append(qRgb(index * step, index * step, index * step));
    bitmap.setColorTable(table);
    return bitmap;
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
    : m_bitmap(withCompleteColorTable(std::move(bitmap)))
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
