#include "Lumen/foundation/imaging/CustomBlendModes.h"

#include <QColor>

#include <algorithm>
#include <cmath>

namespace Lumen {

namespace {

struct Rgb {
    double r, g, b;
};

double luminosity(Rgb c)
{
    return 0.3 * c.r + 0.59 * c.g + 0.11 * c.b;
}

double saturation(Rgb c)
{
    return std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b});
}

Rgb clipColor(Rgb c)
{
    const double l = luminosity(c);
    const double n = std::min({c.r, c.g, c.b});
    const double x = std::max({c.r, c.g, c.b});
    auto scale = [&c, l](double factor) { c = {l + (c.r - l) * factor, l + (c.g - l) * factor, l + (c.b - l) * factor}; };
    if (n < 0.0)
        scale(l / (l - n));
    if (x > 1.0)
        scale((1.0 - l) / (x - l));
    return c;
}

Rgb withLuminosity(Rgb c, double l)
{
    const double d = l - luminosity(c);
    return clipColor({c.r + d, c.g + d, c.b + d});
}

Rgb withSaturation(Rgb c, double s)
{
    double* channels[3] = {&c.r, &c.g, &c.b};
    std::sort(std::begin(channels), std::end(channels), [](double* a, double* b) { return *a < *b; });
    double& low = *channels[0];
    double& mid = *channels[1];
    double& high = *channels[2];
    if (high > low) {
        mid = (mid - low) * s / (high - low);
        high = s;
    } else {
        mid = 0.0;
        high = 0.0;
    }
    low = 0.0;
    return c;
}

Rgb blendColor(CompositingOperation operation, Rgb backdrop, Rgb source)
{
    switch (operation) {
    case CompositingOperation::hue:
        return withLuminosity(withSaturation(source, saturation(backdrop)), luminosity(backdrop));
    case CompositingOperation::saturation:
        return withLuminosity(withSaturation(backdrop, saturation(source)), luminosity(backdrop));
    case CompositingOperation::color:
        return withLuminosity(source, luminosity(backdrop));
    case CompositingOperation::luminosity:
        return withLuminosity(backdrop, luminosity(source));
    default:
        return source;
    }
}

Rgb unpremultiplied(QRgb pixel)
{
    const double a = qAlpha(pixel);
    if (a == 0.0)
        return {0.0, 0.0, 0.0};
    return {qRed(pixel) / a, qGreen(pixel) / a, qBlue(pixel) / a};
}

int toByte(double value)
{
    return static_cast<int>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

// Source-over with the blended colour in the overlap:
// co = cs·(1 − ab) + cb·(1 − as) + as·ab·B(Cb, Cs), ao = as + ab − as·ab.
QRgb nonSeparable(CompositingOperation operation, QRgb backdrop, QRgb source)
{
    const double as = qAlpha(source) / 255.0;
    const double ab = qAlpha(backdrop) / 255.0;
    const Rgb mixed = blendColor(operation, unpremultiplied(backdrop), unpremultiplied(source));
    const auto channel = [&](int cs, int cb, double blended) {
        return toByte(cs / 255.0 * (1.0 - ab) + cb / 255.0 * (1.0 - as) + as * ab * blended);
    };
    const int alpha = toByte(as + ab - as * ab);
    return qRgba(std::min(alpha, channel(qRed(source), qRed(backdrop), mixed.r)),
                 std::min(alpha, channel(qGreen(source), qGreen(backdrop), mixed.g)),
                 std::min(alpha, channel(qBlue(source), qBlue(backdrop), mixed.b)), alpha);
}

// Plus-darker in premultiplied form: ao = as + ab − as·ab,
// co = max(0, ao − ((ab − cb) + (as − cs))); opaque pixels give max(0, S + D − 1).
QRgb plusDarker(QRgb backdrop, QRgb source)
{
    const int as = qAlpha(source);
    const int ab = qAlpha(backdrop);
    const int alpha = as + ab - (as * ab + 127) / 255;
    const auto channel = [&](int cs, int cb) { return std::clamp(alpha - ((ab - cb) + (as - cs)), 0, alpha); };
    return qRgba(channel(qRed(source), qRed(backdrop)), channel(qGreen(source), qGreen(backdrop)),
                 channel(qBlue(source), qBlue(backdrop)), alpha);
}

} // namespace

void blendWithCustomMode(QImage& canvas, const QImage& source, CompositingOperation operation)
{
    const bool handled = operation == CompositingOperation::plusDarker || operation == CompositingOperation::hue
                         || operation == CompositingOperation::saturation || operation == CompositingOperation::color
                         || operation == CompositingOperation::luminosity;
    if (!handled || canvas.size() != source.size() || canvas.format() != QImage::Format_ARGB32_Premultiplied
        || source.format() != QImage::Format_ARGB32_Premultiplied)
        return;

    for (int y = 0; y < canvas.height(); ++y) {
        auto* target = reinterpret_cast<QRgb*>(canvas.scanLine(y));
        const auto* drawn = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x) {
            target[x] = operation == CompositingOperation::plusDarker ? plusDarker(target[x], drawn[x])
                                                                      : nonSeparable(operation, target[x], drawn[x]);
        }
    }
}

} // namespace Lumen
