#pragma once

#include "Lumen/foundation/ImageCreatingOptions.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QSizeF>

#include <memory>
#include <mutex>
#include <optional>

namespace Lumen {

class ImageFrameSource;
class Image;

using ImagePtr = std::shared_ptr<Image>;

// The library's image: a bitmap with a scale plus the values decoding attaches to it.
// Always held as `ImagePtr` (nullptr is "no image"); identity matters, so operations that
// keep an image hand back the very same object. The bitmap and scale never change after
// creation, so reading them takes no lock and copying the QImage is cheap (shared data).
// The attached values are guarded and may be read and written from any thread.
class Image final {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // A scale that is not a finite positive number counts as 1. Colour table entries an indexed
    // bitmap lacks read as the grey of their index.
    static ImagePtr make(QImage bitmap, double scale = 1.0);
    // An image with no bitmap (a null QImage), as used for "empty image" results.
    static ImagePtr makeEmpty();

    Image(Passkey, QImage bitmap, double scale);
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    const QImage& bitmap() const { return m_bitmap; }
    bool hasBitmap() const { return !m_bitmap.isNull(); }
    double scale() const { return m_scale; }
    // Size of the bitmap in pixels; (0, 0) without one.
    QSize pixelSize() const;
    // Size in points: pixels divided by the scale.
    QSizeF size() const;

    // The encoded bytes of an animated image.
    std::optional<QByteArray> animatedImageData() const;
    void setAnimatedImageData(std::optional<QByteArray> data);

    std::optional<int> imageFrameCount() const;
    void setImageFrameCount(std::optional<int> count);

    std::shared_ptr<ImageFrameSource> frameSource() const;
    void setFrameSource(std::shared_ptr<ImageFrameSource> source);

    // The options the image was decoded with.
    std::optional<ImageCreatingOptions> imageCreatingOptions() const;
    void setImageCreatingOptions(std::optional<ImageCreatingOptions> options);

    // Every decoded animation frame, in order.
    std::optional<QList<ImagePtr>> images() const;
    void setImages(std::optional<QList<ImagePtr>> frames);

    // Total animation time in seconds (infinite for a single frame).
    std::optional<double> duration() const;
    void setDuration(std::optional<double> seconds);

private:
    const QImage m_bitmap;
    const double m_scale;

    mutable std::mutex m_attachedMutex;
    std::optional<QByteArray> m_animatedImageData;
    std::optional<int> m_imageFrameCount;
    std::shared_ptr<ImageFrameSource> m_frameSource;
    std::optional<ImageCreatingOptions> m_imageCreatingOptions;
    std::optional<QList<ImagePtr>> m_images;
    std::optional<double> m_duration;
};

} // namespace Lumen
