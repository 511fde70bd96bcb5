#pragma once

#include "Lumen/foundation/imaging/CompositingOperation.h"

#include <QImage>

namespace Lumen {

// The blend modes Qt lacks: plus-darker (max(0, 1 − ((1 − D) + (1 − S))), the dual of
// plus-lighter) and the non-separable hue, saturation, color and luminosity of the W3C
// compositing model, each composited source-over. `canvas` and `source` are premultiplied
// ARGB32 of the same size; other operations leave the canvas untouched.
void blendWithCustomMode(QImage& canvas, const QImage& source, CompositingOperation operation);

} // namespace Lumen
