#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <concepts>
#include <initializer_list>
#include <optional>
#include <utility>

// Readable text dumps of catalog records, e.g. `Artwork(url: "https://…", width: 512, height: nil)`.
namespace Tivrand::RecordDescription {

template<typename T>
concept Describable = requires(const T& record) {
    { record.description() } -> std::convertible_to<QString>;
};

// Texts longer than this show their start, then "…" after the closing quote.
inline constexpr qsizetype maxDescribedTextLength = 4096;

QString describe(const std::optional<QString>& value);
QString describe(const std::optional<double>& value);
QString describe(const std::optional<int>& value);

template<Describable T>
QString describe(const std::optional<T>& value)
{
    return value ? value->description() : QStringLiteral("nil");
}

template<Describable T>
QString describe(const std::optional<QList<T>>& values)
{
    if (!values)
        return QStringLiteral("nil");
    QStringList parts;
    for (const T& value : *values)
        parts.append(value.description());
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

// "Name(field: value, ...)" from already described fields.
QString record(QLatin1StringView name, std::initializer_list<std::pair<QLatin1StringView, QString>> fields);

} // namespace Tivrand::RecordDescription
