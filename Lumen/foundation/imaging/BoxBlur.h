#pragma once

#include <QImage>

#include <optional>

namespace Lumen {

// A Gaussian blur approximated by repeated box blurs.
struct BoxBlurParameters {
    int boxSize = 0; // odd, in pixels
    int passes = 0;

    // The largest box the blur runs; its running sums stay exact within 28 bits.
    static constexpr int maxBoxSize = 4095;

    // The box and pass count for a Gaussian of `radius`: box = floor(ρ·3·√(2π)/4 + 0.5) with
    // ρ ≥ 2, made odd; 1 pass below ρ = 0.5, 2 below 1.5, else 3. None for a radius that is
    // not finite or whose box would exceed `maxBoxSize` (ρ above about 2178).
    static std::optional<BoxBlurParameters> forRadius(double radius);

    bool operator==(const BoxBlurParameters&) const = default;
};

// `image` blurred with `passes` passes of a `boxSize` x `boxSize` box average whose edges
// extend the border pixels, in premultiplied ARGB32. Each pass is separable with running
// sums, so the cost per pixel does not depend on the box size. A null QImage when the box
// is not odd and within 1...maxBoxSize, the pass count is not positive, `image` is null, or
// the blur's buffers (a working copy of the image and up to box + 1 rows of 16-bit sums)
// would together exceed BitmapLimits::maxBitmapBytes.
QImage boxBlurred(const QImage& image, int boxSize, int passes);

} // namespace Lumen
