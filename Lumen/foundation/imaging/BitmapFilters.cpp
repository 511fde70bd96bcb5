#include "Lumen/foundation/imaging/BitmapFilters.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace Lumen {

namespace {

bool isFinite(const ColorElement& element)
{
    return std::isfinite(element.brightness) && std::isfinite(element.contrast) && std::isfinite(element.saturation)
           && std::isfinite(element.inputEV);
}

// Finite controls can still overflow to infinity on the way (a huge saturation times a zero
// contrast gives NaN); such a component counts as 0 instead of reaching the pixel as garbage.
double unitInterval(double value)
{
    return std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
}

double toLinear(double encoded)
{
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

double toEncoded(double linear)
{
    return linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

class ColorAdjuster {
public:
    explicit ColorAdjuster(const ColorElement& element)
        : m_element(element)
        , m_exposure(std::exp2(element.inputEV))
    {
    }

    QRgb operator()(QRgb pixel) const
    {
        const int alpha = qAlpha(pixel);
        if (alpha == 0)
            return pixel;
        const double a = alpha / 255.0;
        double r = qRed(pixel) / 255.0 / a;
        double g = qGreen(pixel) / 255.0 / a;
        double b = qBlue(pixel) / 255.0 / a;

        const double luma = 0.2125 * r + 0.7154 * g + 0.0721 * b;
        r = adjusted(luma + m_element.saturation * (r - luma));
        g = adjusted(luma + m_element.saturation * (g - luma));
        b = adjusted(luma + m_element.saturation * (b - luma));

        const auto premultiplied = [a](double value) {
            return static_cast<int>(std::lround(unitInterval(value) * a * 255.0));
        };
        return qRgba(premultiplied(r), premultiplied(g), premultiplied(b), alpha);
    }

private:
    double adjusted(double value) const
    {
        value = (value + m_element.brightness - 0.5) * m_element.contrast + 0.5;
        if (m_element.inputEV == 0.0)
            return value;
        return toEncoded(toLinear(unitInterval(value)) * m_exposure);
    }

    ColorElement m_element;
    double m_exposure;
};

} // namespace

QImage tintedBitmap(const QImage& image, const QColor& color)
{
    if (image.isNull() || !color.isValid())
        return QImage();
    QImage tinted = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&tinted);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(tinted.rect(), color);
    return tinted;
}

QImage colorAdjustedBitmap(const QImage& image, const ColorElement& element)
{
    if (image.isNull() || !isFinite(element))
        return QImage();
    QImage adjusted = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const ColorAdjuster adjust(element);
    for (int y = 0; y < adjusted.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(adjusted.scanLine(y));
        for (int x = 0; x < adjusted.width(); ++x)
            line[x] = adjust(line[x]);
    }
    return adjusted;
}

} // namespace Lumen
