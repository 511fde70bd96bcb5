#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>

#include <memory>
#include <optional>

namespace Lumen {

// The frames of an animated image, pulled one at a time (by the animated image view).
// Implementations are safe to call from any thread.
class ImageFrameSource {
public:
    virtual ~ImageFrameSource() = default;

    // The encoded bytes, when known.
    virtual std::optional<QByteArray> data() const = 0;
    virtual int frameCount() const = 0;
    // The frame at `index`, no larger than `maxSize` pixels on its longer side when a size
    // with a positive side is given; a null QImage when the frame cannot be decoded or the
    // index is out of range.
    virtual QImage frame(int index, std::optional<QSizeF> maxSize = std::nullopt) const = 0;
    // Seconds the frame at `index` is shown; 0 for an index out of range.
    virtual double duration(int index) const = 0;
    // An independent source over the same frames.
    virtual std::shared_ptr<ImageFrameSource> copy() const = 0;
};

} // namespace Lumen
