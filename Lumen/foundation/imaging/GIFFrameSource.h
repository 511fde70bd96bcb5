#pragma once

#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/foundation/imaging/GIFBlockWalker.h"
#include "Lumen/foundation/imaging/ImageDataReader.h"
#include "Lumen/foundation/imaging/ImageFrameSource.h"

#include <cstdint>
#include <deque>
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
// frame per call and memory stay at one canvas. A frame behind the reader needs a restart
// from the first frame; that walk keeps the frames just before the one asked for, within
// `windowBudgetBytes` (at least one), so the steps back that follow cost nothing.
class GIFFrameSource final : public ImageFrameSource {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::expected<std::shared_ptr<GIFFrameSource>, GIFFrameSourceError>
    make(QByteArray data, std::int64_t windowBudgetBytes = BitmapLimits::frameWindowBudgetBytes);

    GIFFrameSource(Passkey, QByteArray data, GIFStructure structure, std::int64_t windowBudgetBytes);

    std::optional<QByteArray> data() const override;
    int frameCount() const override;
    QImage frame(int index, std::optional<QSizeF> maxSize = std::nullopt) const override;
    double duration(int index) const override;
    std::shared_ptr<ImageFrameSource> copy() const override;

private:
    QImage decodedFrame(int index) const;
    void restartReader() const;
    void forgetReader() const;

    const QByteArray m_data;
    const GIFStructure m_structure;
    const std::int64_t m_windowBudgetBytes;
    const int m_windowCapacity;

    mutable std::mutex m_mutex;
    mutable std::unique_ptr<ImageDataReader> m_reader;
    // The index of the frame the reader decodes next.
    mutable int m_nextIndex = 0;
    // Consecutive decoded frames, the last of them the frame before m_nextIndex.
    mutable std::deque<QImage> m_recentFrames;
};

} // namespace Lumen
