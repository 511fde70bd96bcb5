#include "Lumen/foundation/imaging/GIFFrameSource.h"

#include "Lumen/foundation/imaging/GIFAnimatedImage.h"
#include "Lumen/foundation/imaging/ThumbnailSize.h"

#include <algorithm>
#include <new>
#include <utility>

namespace Lumen {

namespace {

int windowCapacity(const GIFStructure& structure, std::int64_t budgetBytes)
{
    const std::int64_t frameBytes = std::int64_t(structure.canvasSize.width()) * structure.canvasSize.height() * 4
                                    + GIFAnimatedImage::frameOverheadBytes;
    return int(std::clamp<std::int64_t>(budgetBytes / frameBytes, 1, std::max<qsizetype>(1, structure.frames.size())));
}

} // namespace

std::expected<std::shared_ptr<GIFFrameSource>, GIFFrameSourceError> GIFFrameSource::make(QByteArray data,
                                                                                         std::int64_t windowBudgetBytes)
{
    auto structure = walkGIFBlocks(data);
    if (!structure) {
        return std::unexpected(structure.error() == GIFStructureError::notGIF ? GIFFrameSourceError::notGIF
                                                                               : GIFFrameSourceError::truncatedHeader);
    }
    if (!structure->fitsBitmapLimits())
        return std::unexpected(GIFFrameSourceError::canvasTooLarge);
    return std::make_shared<GIFFrameSource>(Passkey{}, std::move(data), std::move(*structure), windowBudgetBytes);
}

GIFFrameSource::GIFFrameSource(Passkey, QByteArray data, GIFStructure structure, std::int64_t windowBudgetBytes)
    : m_data(std::move(data))
    , m_structure(std::move(structure))
    , m_windowBudgetBytes(windowBudgetBytes)
    , m_windowCapacity(windowCapacity(m_structure, windowBudgetBytes))
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
        try {
            image = decodedFrame(index).copy();
        } catch (const std::bad_alloc&) {
            // A decode cut short leaves the reader anywhere.
            forgetReader();
        }
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
    return std::make_shared<GIFFrameSource>(Passkey{}, m_data, m_structure, m_windowBudgetBytes);
}

QImage GIFFrameSource::decodedFrame(int index) const
{
    // A frame cut short would come out of Qt half drawn; it counts as undecodable.
    if (index < 0 || index >= frameCount() || !m_structure.frames[index].complete)
        return QImage();
    const int oldest = m_nextIndex - int(m_recentFrames.size());
    if (index >= oldest && index < m_nextIndex)
        return m_recentFrames[std::size_t(index - oldest)];

    // Playing forward needs the latest frame only; a walk restarted for a frame behind keeps
    // the frames before it, for the steps back that usually follow.
    const bool restarted = !m_reader || index < oldest;
    if (restarted)
        restartReader();
    const std::size_t keep = restarted ? std::size_t(m_windowCapacity) : 1;
    while (m_nextIndex <= index) {
        QImage next;
        if (!m_reader->reader().read(&next)) {
            forgetReader();
            return QImage();
        }
        m_recentFrames.push_back(std::move(next));
        ++m_nextIndex;
        while (m_recentFrames.size() > keep)
            m_recentFrames.pop_front();
    }
    return m_recentFrames.back();
}

void GIFFrameSource::restartReader() const
{
    forgetReader();
    m_reader = std::make_unique<ImageDataReader>(m_data, QByteArrayLiteral("gif"));
}

void GIFFrameSource::forgetReader() const
{
    m_reader.reset();
    m_recentFrames.clear();
    m_nextIndex = 0;
}

} // namespace Lumen
