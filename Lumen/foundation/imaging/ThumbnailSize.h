#pragma once

#include <QSize>
#include <QSizeF>

#include <optional>

namespace Lumen {

// The size an image of `pixels` takes when its longer side is brought down to the longer
// side of `maxSize`, keeping its aspect (never enlarged, at least one pixel a side). None when
// `maxSize` sets no usable bound (no side positive and finite) or `pixels` is empty.
std::optional<QSize> thumbnailPixelSize(QSize pixels, QSizeF maxSize);

} // namespace Lumen
