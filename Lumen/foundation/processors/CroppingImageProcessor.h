#pragma once

#include "Lumen/foundation/processors/DecodingImageProcessor.h"

#include <QPointF>
#include <QSizeF>

namespace Lumen {

// Cuts a part of `size` out of the image, placed by `anchor` ((0, 0) top left, (0.5, 0.5)
// centre, (1, 1) bottom right).
class CroppingImageProcessor final : public DecodingImageProcessor {
public:
    CroppingImageProcessor(QSizeF size, QPointF anchor);

    QSizeF size() const { return m_size; }
    QPointF anchor() const { return m_anchor; }

protected:
    ImagePtr processImage(const ImagePtr& image, const LumenParsedOptionsInfo& options) const override;

private:
    const QSizeF m_size;
    const QPointF m_anchor;
};

} // namespace Lumen
