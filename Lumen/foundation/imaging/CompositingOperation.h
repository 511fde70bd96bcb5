#pragma once

#include <QPainter>

#include <optional>

namespace Lumen {

// How a drawn image combines with what is beneath it. The raw values are stable: they are
// written into processor identifiers and so into cache keys.
enum class CompositingOperation : unsigned {
    clear = 0,
    copy = 1,
    sourceOver = 2,
    sourceIn = 3,
    sourceOut = 4,
    sourceAtop = 5,
    destinationOver = 6,
    destinationIn = 7,
    destinationOut = 8,
    destinationAtop = 9,
    XOR = 10,
    plusDarker = 11,
    // Kept for its raw value; it draws as source-over.
    highlight = 12,
    plusLighter = 13,
    multiply = 14,
    screen = 15,
    overlay = 16,
    darken = 17,
    lighten = 18,
    colorDodge = 19,
    colorBurn = 20,
    softLight = 21,
    hardLight = 22,
    difference = 23,
    exclusion = 24,
    hue = 25,
    saturation = 26,
    color = 27,
    luminosity = 28,
};

// Qt's mode for the operation; none for the operations Qt lacks (plus-darker and the four
// non-separable modes), which `compositeImage` blends itself.
std::optional<QPainter::CompositionMode> qtCompositionMode(CompositingOperation operation);

// Draws `source` stretched over the whole of `canvas` (premultiplied ARGB32) with the
// operation, the source's alpha first multiplied by `alpha` (clamped into 0...1; NaN draws
// nothing). Pixels keep the premultiplied invariant.
void compositeImage(QImage& canvas, const QImage& source, CompositingOperation operation, double alpha);

} // namespace Lumen
