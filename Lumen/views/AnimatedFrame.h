#pragma once

#include "Lumen/foundation/Image.h"

namespace Lumen {

// One slot of an animation. Without an image it is a placeholder: its place and time are
// known, its pixels are not decoded (or were dropped).
struct AnimatedFrame {
    ImagePtr image;
    double duration = 0.0; // seconds

    bool isPlaceholder() const { return image == nullptr; }
    AnimatedFrame placeholder() const { return AnimatedFrame{nullptr, duration}; }
};

} // namespace Lumen
