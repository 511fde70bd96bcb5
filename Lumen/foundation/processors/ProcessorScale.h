#pragma once

#include <cmath>

namespace Lumen {

// The scale a processor makes its pixels for: one that is not finite and positive counts as 1,
// as it does for images.
inline double processorScale(double scale)
{
    return std::isfinite(scale) && scale > 0.0 ? scale : 1.0;
}

} // namespace Lumen
