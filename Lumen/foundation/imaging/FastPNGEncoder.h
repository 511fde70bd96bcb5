#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace Lumen {

// PNG bytes of `bitmap` made with a fast deflate level and a cheap per-row filter choice.
// They decode to the same pixels, format, colour space and resolution as those of Qt's PNG
// writer. None for bitmaps it does not cover (formats other than 32-bit RGB / ARGB, text
// keys, an unnamed colour space): the caller then falls back to Qt's writer.
std::optional<QByteArray> fastPngData(const QImage& bitmap);

} // namespace Lumen
