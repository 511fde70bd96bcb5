#pragma once

#include "Lumen/foundation/Image.h"

#include <QIcon>
#include <QPixmap>

namespace Lumen {

// An image as the widgets draw it: its bitmap (an animation's first frame) at its scale.
// Null for no image or an image without a bitmap. GUI thread only.
QPixmap pixmapOf(const ImagePtr& image);
QIcon iconOf(const ImagePtr& image);

} // namespace Lumen
