#pragma once

#include "Lumen/foundation/Image.h"

#include <cstdint>

namespace Lumen {

// What an image counts against the memory cache's cost limit: its decoded size, pixels
// times bytes per pixel, times the number of animation frames when it carries a frame list
// (so an empty list costs 0). Without a bitmap: pixels times 4. Saturates at the largest
// signed 64-bit value.
std::int64_t cacheCost(const ImagePtr& image);

} // namespace Lumen
