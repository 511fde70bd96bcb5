#include "TivrandApp/models/RecordDescription.h"

namespace Tivrand::RecordDescription {

namespace {

// Characters that would break the printed line or steer the terminal showing it.
bool isControl(char32_t character)
{
    return character < 0x20 || (character >= 0x7f && character <= 0x9f) || character == 0x2028 || character == 0x2029;
}

} // namespace

QString describe(const std::optional<QString>& value)
{
    if (!value)
        return QStringLiteral("nil");
    QString escaped;
    escaped.reserve(value->size() + 2);
    escaped += QLatin1Char('"');
    for (const char32_t character : value->toUcs4()) {
        switch (character) {
        case U'\\':
            escaped += QStringLiteral("\\\\");
            break;
        case U'"':
            escaped += QStringLiteral("\\\"");
            break;
        case U'\n':
            escaped += QStringLiteral("\\n");
            break;
        case U'\r':
            escaped += QStringLiteral("\\r");
            break;
        case U'\t':
            escaped += QStringLiteral("\\t");
            break;
        default:
            if (isControl(character))
                escaped += QStringLiteral("\\u{") + QString::number(static_cast<uint>(character), 16) + QLatin1Char('}');
            else
                escaped += QString::fromUcs4(&character, 1);
        }
    }
    escaped += QLatin1Char('"');
    return escaped;
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
