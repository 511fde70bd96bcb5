#include "Lumen/foundation/imaging/GIFFrameSource.h"

#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/foundation/imaging/GIFAnimatedImage.h"
#include "Lumen/foundation/imaging/ThumbnailSize.h"

#include <utility>

namespace Lumen {

std::expected<std::shared_ptr<GIFFrameSource>, GIFFrameSourceError> GIFFrameSource::make(QByteArray data)
{
    auto structure = walkGIFBlocks(data);
    if (!structure) {
        return std::unexpected(structure.error() == GIFStructureError::notGIF ? GIFFrameSourceError::notGIF
                                                                               : GIFFrameSourceError::truncatedHeader);
    }
    if (!structure->fitsBitmapLimits())
        return std::unexpected(GIFFrameSourceError::canvasTooLarge);
    return std::make_shared<GIFFrameSource>(Passkey{}, std::move(data), std::move(*structure));
}

GIFFrameSource::GIFFrameSource(Passkey, QByteArray data, GIFStructure structure)
    : m_data(std::move(data))
    , m_structure(std::move(structure))
{
}

std::optional<QByteArray> GIFFrameSource::data() const
{
    return m_data;
}

int GIFFrameSource::frameCount() const
{
    return static_cast<int>(m_structure.frames.size());
}

QImage GIFFrameSource::frame(int index, std::optional<QSizeF> maxSize) const
{
    QImage image;
    {
        // Each caller gets pixels of its own: the decoder keeps building later frames on the
        // canvas it shares with the latest one.
        std::lock_guard lock(m_mutex);
        image = decodedFrame(index).copy();
    }
    if (image.isNull() || !maxSize)
        return image;
    const auto bounded = thumbnailPixelSize(image.size(), *maxSize);
    if (!bounded || *bounded == image.size())
        return image;
    return image.scaled(*bounded, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

double GIFFrameSource::duration(int index) const
{
    if (index < 0 || index >= frameCount())
        return 0.0;
    return GIFAnimatedImage::frameDuration(m_structure.frames[index].delayTime);
}

std::shared_ptr<ImageFrameSource> GIFFrameSource::copy() const
{
    return std::make_shared<GIFFrameSource>(Passkey{}, m_data, m_structure);
}

QImage GIFFrameSource::decodedFrame(int index) const
{
    // A frame cut short would come out of Qt half drawn; it counts as undecodable.
    if (index < 0 || index >= frameCount() || !m_structure.frames[index].complete)
        return QImage();
    if (index == m_latestIndex)
        return m_latestFrame;
    if (!m_reader || index < m_nextIndex)
        restartReader();

    while (m_nextIndex <= index) {
        QImage next;
        if (!m_reader->read(&next)) {
            m_reader.reset();
            return QImage();
        }
        m_latestFrame = std::move(next);
        m_latestIndex = m_nextIndex++;
    }
    return m_latestFrame;
}

void GIFFrameSource::restartReader() const
{
    BitmapLimits::applyToImageReaders();
    m_reader.reset();
    m_buffer = std::make_unique<QBuffer>();
    // Any thread may read frames (under the mutex) or drop the source, so the buffer belongs
    // to none; it never handles events.
    m_buffer->moveToThread(nullptr);
    m_buffer->setData(m_data);
    m_buffer->open(QIODevice::ReadOnly);
    m_reader = std::make_unique<QImageReader>(m_buffer.get(), QByteArrayLiteral("gif"));
    m_reader->setDecideFormatFromContent(false);
    m_nextIndex = 0;
    m_latestIndex = -1;
    m_latestFrame = QImage();
}

} // namespace Lumen
