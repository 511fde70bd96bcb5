#include "Lumen/foundation/processors/ProcessorIdentifierText.h"

#include "Lumen/foundation/imaging/DrawingParameters.h"

#include <array>
#include <charconv>
#include <cmath>

namespace Lumen::IdentifierText {

namespace {

// Decimal layout stops where doubles stop holding every integer.
constexpr double largestDecimalMagnitude = 9007199254740992.0; // 2^53
constexpr double smallestDecimalMagnitude = 1e-4;

QString formatted(double value, std::chars_format format)
{
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
}

QString fixedTwoDigits(double value)
{
    std::array<char, 384> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 2);
    if (result.ec != std::errc())
        return formatted(value, std::chars_format::general);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
}

// The colour in extended sRGB. Qt stores extended components as half floats, so a colour that
// is already in sRGB range keeps its exact 16-bit components instead.
QColor extendedSRGB(const QColor& color)
{
    return color.spec() == QColor::ExtendedRgb ? color : color.toRgb();
}

QString radiusDescription(const Radius& radius)
{
    switch (radius.kind()) {
    case Radius::Kind::widthFraction:
        return QStringLiteral("widthFraction(") + number(radius.parameter()) + QLatin1Char(')');
    case Radius::Kind::heightFraction:
        return QStringLiteral("heightFraction(") + number(radius.parameter()) + QLatin1Char(')');
    case Radius::Kind::point:
        break;
    }
    return QStringLiteral("point(") + number(radius.parameter()) + QLatin1Char(')');
}

} // namespace

QString number(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");

    const double magnitude = std::fabs(value);
    if (magnitude != 0.0 && (magnitude < smallestDecimalMagnitude || magnitude >= largestDecimalMagnitude))
        return formatted(value, std::chars_format::scientific);

    QString text = formatted(value, std::chars_format::fixed);
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

QString size(QSizeF size)
{
    return QLatin1Char('(') + number(size.width()) + QStringLiteral(", ") + number(size.height()) + QLatin1Char(')');
}

QString point(QPointF point)
{
    return QLatin1Char('(') + number(point.x()) + QStringLiteral(", ") + number(point.y()) + QLatin1Char(')');
}

QString rgba(const QColor& color)
{
    if (!color.isValid())
        return QStringLiteral("(invalid)");
    const QColor extended = extendedSRGB(color);
    return QLatin1Char('(') + fixedTwoDigits(extended.redF()) + QLatin1Char(',') + fixedTwoDigits(extended.greenF())
        + QLatin1Char(',') + fixedTwoDigits(extended.blueF()) + QLatin1Char(',') + fixedTwoDigits(extended.alphaF())
        + QLatin1Char(')');
}

QString color(const QColor& color)
{
    if (!color.isValid())
        return QStringLiteral("extendedSRGB(invalid)");
    const QColor extended = extendedSRGB(color);
    // QColor keeps 16-bit components, so these exact texts tell every distinct colour apart.
    return QStringLiteral("extendedSRGB(") + formatted(extended.redF(), std::chars_format::general) + QLatin1Char(' ')
        + formatted(extended.greenF(), std::chars_format::general) + QLatin1Char(' ')
        + formatted(extended.blueF(), std::chars_format::general) + QLatin1Char(' ')
        + formatted(extended.alphaF(), std::chars_format::general) + QLatin1Char(')');
}

QString radius(const Radius& radius)
{
    switch (radius.kind()) {
    case Radius::Kind::widthFraction:
        return QStringLiteral("w_frac_") + number(radius.parameter());
    case Radius::Kind::heightFraction:
        return QStringLiteral("h_frac_") + number(radius.parameter());
    case Radius::Kind::point:
        break;
    }
    return number(radius.parameter());
}

QString border(const Border& border)
{
    return QStringLiteral("Border(color: ") + color(border.color) + QStringLiteral(", lineWidth: ")
        + number(border.lineWidth) + QStringLiteral(", radius: ") + radiusDescription(border.radius)
        + QStringLiteral(", roundingCorners: RectCorner(rawValue: ") + QString::number(border.roundingCorners.rawValue())
        + QStringLiteral("))");
}

QString contentMode(ContentMode mode)
{
    switch (mode) {
    case ContentMode::aspectFit:
        return QStringLiteral("aspectFit");
    case ContentMode::aspectFill:
        return QStringLiteral("aspectFill");
    case ContentMode::none:
        break;
    }
    return QStringLiteral("none");
}

} // namespace Lumen::IdentifierText
