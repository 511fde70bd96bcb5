#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace Lumen {

// PNG bytes of `bitmap` made with the fastest deflate level, its rows filtered or not as a
// sample of them compresses best. They decode to the same pixels, format, colour space,
// resolution and texts as those of Qt's PNG writer. None for bitmaps it does not cover
// (formats other than 32-bit RGB / ARGB, a text key no PNG keyword can hold, an unnamed colour
// space): the caller then falls back to Qt's writer.
std::optional<QByteArray> fastPngData(const QImage& bitmap);

} // namespace Lumen
