#include "Lumen/views/loading/ImagePixmap.h"

namespace Lumen {

QPixmap pixmapOf(const ImagePtr& image)
{
    if (!image || !image->hasBitmap())
        return {};
    QPixmap pixmap = QPixmap::fromImage(image->bitmap());
    pixmap.setDevicePixelRatio(image->scale());
    return pixmap;
}

QIcon iconOf(const ImagePtr& image)
{
    const QPixmap pixmap = pixmapOf(image);
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

} // namespace Lumen
