#pragma once

#include "Lumen/foundation/Image.h"

namespace Lumen {

// The image blurred like a Gaussian of `radius` pixels, approximated by box passes (see
// BoxBlurParameters::forRadius), edges extended. The input itself when it has no bitmap, the
// radius is not finite or too large to run, or the blur would need more memory than
// BitmapLimits allows. Safe on any thread.
ImagePtr blurred(const ImagePtr& image, double radius);

} // namespace Lumen
