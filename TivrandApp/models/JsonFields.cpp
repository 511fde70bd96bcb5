#include "TivrandApp/models/JsonFields.h"

#include <limits>

namespace Tivrand::JsonFields {

std::optional<QString> text(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<double> number(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    return value.toDouble();
}

std::optional<int> integer(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    constexpr qint64 outOfRange = std::numeric_limits<qint64>::min();
    const qint64 whole = value.toInteger(outOfRange);
    if (whole < std::numeric_limits<int>::min() || whole > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(whole);
}

} // namespace Tivrand::JsonFields
