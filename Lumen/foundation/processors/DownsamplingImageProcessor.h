#pragma once

#include "Lumen/foundation/ImageProcessor.h"

#include <QSizeF>
#include <QString>

namespace Lumen {

// Decodes straight to a thumbnail whose longer side is at most max(width, height) of `size`
// times the request's scale factor in pixels, never holding the full-size bitmap. An image
// item is encoded as PNG first.
class DownsamplingImageProcessor final : public ImageProcessor {
public:
    explicit DownsamplingImageProcessor(QSizeF size);

    QSizeF size() const { return m_size; }

    QString identifier() const override { return m_identifier; }
    // Null for bytes that cannot be decoded, an image without a bitmap, or a size that gives
    // no usable bound.
    ImagePtr process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const override;

private:
    const QSizeF m_size;
    const QString m_identifier;
};

} // namespace Lumen
