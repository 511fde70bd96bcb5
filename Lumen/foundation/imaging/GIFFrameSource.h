#pragma once

#include "Lumen/foundation/imaging/GIFBlockWalker.h"
#include "Lumen/foundation/imaging/ImageFrameSource.h"

#include <QBuffer>
#include <QImageReader>

#include <expected>
#include <memory>
#include <mutex>

namespace Lumen {

enum class GIFFrameSourceError {
    notGIF,
    truncatedHeader,
    // The canvas Qt would decode every frame onto is larger than any bitmap may be.
    canvasTooLarge,
};

// Frames of GIF data: count and timing from our block walker, pixels from Qt's decoder.
// GIF frames build on the ones before, so Qt decodes them in order; the source keeps one
// reader positioned after the last frame it produced, which makes forward playback cost one
// frame per call, and restarts it for a frame behind that position. Only the latest frame
// is kept, so memory stays at one canvas whatever the frame count.
class GIFFrameSource final : public ImageFrameSource {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::expected<std::shared_ptr<GIFFrameSource>, GIFFrameSourceError> make(QByteArray data);

    GIFFrameSource(Passkey, QByteArray data, GIFStructure structure);

    std::optional<QByteArray> data() const override;
    int frameCount() const override;
    QImage frame(int index, std::optional<QSizeF> maxSize = std::nullopt) const override;
    double duration(int index) const override;
    std::shared_ptr<ImageFrameSource> copy() const override;

private:
    QImage decodedFrame(int index) const;
    void restartReader() const;

    const QByteArray m_data;
    const GIFStructure m_structure;

    mutable std::mutex m_mutex;
    mutable std::unique_ptr<QBuffer> m_buffer;
    mutable std::unique_ptr<QImageReader> m_reader;
    mutable int m_nextIndex = 0;
    mutable QImage m_latestFrame;
    mutable int m_latestIndex = -1;
};

} // namespace Lumen
