#include "Lumen/foundation/imaging/CompositingOperation.h"

#include "Lumen/foundation/imaging/CustomBlendModes.h"

#include <algorithm>
#include <cmath>

namespace Lumen {

namespace {

// Multiplies every premultiplied component by `alpha`: the source as drawn at that fraction.
QImage withAlpha(const QImage& source, double alpha)
{
    QImage faded(source.size(), QImage::Format_ARGB32_Premultiplied);
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(alpha);
    painter.drawImage(0, 0, source);
    return faded;
}

QImage premultipliedAtSize(const QImage& source, QSize size)
{
    QImage scaled = source.size() == size ? source : source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return scaled.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

std::optional<QPainter::CompositionMode> qtCompositionMode(CompositingOperation operation)
{
    using Mode = QPainter::CompositionMode;
    switch (operation) {
    case CompositingOperation::clear:
        return Mode::CompositionMode_Clear;
    case CompositingOperation::copy:
        return Mode::CompositionMode_Source;
    case CompositingOperation::sourceOver:
    case CompositingOperation::highlight:
        return Mode::CompositionMode_SourceOver;
    case CompositingOperation::sourceIn:
        return Mode::CompositionMode_SourceIn;
    case CompositingOperation::sourceOut:
        return Mode::CompositionMode_SourceOut;
    case CompositingOperation::sourceAtop:
        return Mode::CompositionMode_SourceAtop;
    case CompositingOperation::destinationOver:
        return Mode::CompositionMode_DestinationOver;
    case CompositingOperation::destinationIn:
        return Mode::CompositionMode_DestinationIn;
    case CompositingOperation::destinationOut:
        return Mode::CompositionMode_DestinationOut;
    case CompositingOperation::destinationAtop:
        return Mode::CompositionMode_DestinationAtop;
    case CompositingOperation::XOR:
        return Mode::CompositionMode_Xor;
    case CompositingOperation::plusLighter:
        return Mode::CompositionMode_Plus;
    case CompositingOperation::multiply:
        return Mode::CompositionMode_Multiply;
    case CompositingOperation::screen:
        return Mode::CompositionMode_Screen;
    case CompositingOperation::overlay:
        return Mode::CompositionMode_Overlay;
    case CompositingOperation::darken:
        return Mode::CompositionMode_Darken;
    case CompositingOperation::lighten:
        return Mode::CompositionMode_Lighten;
    case CompositingOperation::colorDodge:
        return Mode::CompositionMode_ColorDodge;
    case CompositingOperation::colorBurn:
        return Mode::CompositionMode_ColorBurn;
    case CompositingOperation::softLight:
        return Mode::CompositionMode_SoftLight;
    case CompositingOperation::hardLight:
        return Mode::CompositionMode_HardLight;
    case CompositingOperation::difference:
        return Mode::CompositionMode_Difference;
    case CompositingOperation::exclusion:
        return Mode::CompositionMode_Exclusion;
    case CompositingOperation::plusDarker:
    case CompositingOperation::hue:
    case CompositingOperation::saturation:
    case CompositingOperation::color:
    case CompositingOperation::luminosity:
        return std::nullopt;
    }
    return std::nullopt;
}

void compositeImage(QImage& canvas, const QImage& source, CompositingOperation operation, double alpha)
{
    if (canvas.isNull() || source.isNull() || std::isnan(alpha))
        return;
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (canvas.format() != QImage::Format_ARGB32_Premultiplied)
        canvas = canvas.convertToFormat(QImage::Format_ARGB32_Premultiplied);

    // Qt applies opacity as coverage (a blend of result and destination); the fraction here
    // scales the source before the operation, which differs for every mode but source-over.
    QImage drawn = premultipliedAtSize(source, canvas.size());
    if (alpha < 1.0)
        drawn = withAlpha(drawn, alpha);

    if (const auto mode = qtCompositionMode(operation)) {
        QPainter painter(&canvas);
        painter.setCompositionMode(*mode);
        painter.drawImage(0, 0, drawn);
        return;
    }
    blendWithCustomMode(canvas, drawn, operation);
}

} // namespace Lumen
