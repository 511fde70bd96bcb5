#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

// Lenient readers for catalog records: a key that is missing or holds the wrong type is absent.
namespace Tivrand::JsonFields {

std::optional<QString> text(const QJsonObject& object, QLatin1StringView key);
std::optional<double> number(const QJsonObject& object, QLatin1StringView key);
// Whole numbers only, within the range of int.
std::optional<int> integer(const QJsonObject& object, QLatin1StringView key);

// A list of records decoded with T::fromJson; elements that do not decode are left out.
template<typename T>
std::optional<QList<T>> list(const QJsonObject& object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (!value.isArray())
        return std::nullopt;
    QList<T> items;
    for (const QJsonValue element : value.toArray()) {
        if (std::optional<T> item = T::fromJson(element))
            items.append(std::move(*item));
    }
    return items;
}

} // namespace Tivrand::JsonFields
