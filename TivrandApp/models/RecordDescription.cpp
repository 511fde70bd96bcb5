#include "TivrandApp/models/RecordDescription.h"

namespace Tivrand::RecordDescription {

QString describe(const std::optional<QString>& value)
{
    if (!value)
        return QStringLiteral("nil");
    QString escaped = *value;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
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
