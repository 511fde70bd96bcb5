#include "TivrandApp/models/RecordDescription.h"

#include <utility>

namespace Tivrand::RecordDescription {

namespace {

// Characters with an escape of their own; other controls are escaped by their code point.
constexpr std::pair<char32_t, QLatin1StringView> namedEscapes[] = {
    {U'\\', QLatin1StringView("\\\\")},
    {U'"', QLatin1StringView("\\\"")},
    {U'\n', QLatin1StringView("\\n")},
    {U'\r', QLatin1StringView("\\r")},
    {U'\t', QLatin1StringView("\\t")},
};

// Characters that would break the printed line or steer the terminal showing it.
bool isControl(char32_t character)
{
    return character < 0x20 || (character >= 0x7f && character <= 0x9f) || character == 0x2028 || character == 0x2029;
}

QString escaped(char32_t character)
{
    for (const auto& [named, escape] : namedEscapes) {
        if (character == named)
            return escape;
    }
    if (isControl(character))
        return QStringLiteral("\\u{") + QString::number(static_cast<uint>(character), 16) + QLatin1Char('}');
    return QString::fromUcs4(&character, 1);
}

} // namespace

QString describe(const std::optional<QString>& value)
{
    if (!value)
        return QStringLiteral("nil");
    QString described(QLatin1Char('"'));
    qsizetype shown = 0;
    for (qsizetype index = 0; index < value->size(); ++shown) {
        if (shown == maxDescribedTextLength)
            return described + QStringLiteral("\"…");
        const QChar unit = value->at(index++);
        char32_t character = unit.isSurrogate() ? char32_t(QChar::ReplacementCharacter) : unit.unicode();
        if (unit.isHighSurrogate() && index < value->size() && value->at(index).isLowSurrogate())
            character = QChar::surrogateToUcs4(unit, value->at(index++));
        described += escaped(character);
    }
    return described + QLatin1Char('"');
}

QString describe(const std::optional<double>& value)
{
    return value ? QString::number(*value, 'g', 15) : QStringLiteral("nil");
}

QString describe(const std::optional<int>& value)
{
    return value ? QString::number(*value) : QStringLiteral("nil");
}

QString record(QLatin1StringView name, std::initializer_list<std::pair<QLatin1StringView, QString>> fields)
{
    QStringList parts;
    for (const auto& [field, value] : fields)
        parts.append(field + QStringLiteral(": ") + value);
    return name + QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

} // namespace Tivrand::RecordDescription
