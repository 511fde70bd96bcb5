#include "TivrandApp/models/Country.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QUuid>

namespace Tivrand {
namespace {

QString where(qsizetype countryIndex, const QString& key)
{
    return QStringLiteral("country %1, key \"%2\"").arg(countryIndex).arg(key);
}

std::expected<QString, QString> requiredText(const QJsonObject& object, const QString& key, const QString& place)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return std::unexpected(QStringLiteral("%1: missing").arg(place));
    if (!value.isString())
        return std::unexpected(QStringLiteral("%1: expected a text").arg(place));
    return value.toString();
}

std::expected<Language, QString> decodeLanguage(const QJsonValue& value, const QString& place)
{
    if (value.isUndefined())
        return std::unexpected(QStringLiteral("%1: missing").arg(place));
    if (!value.isObject())
        return std::unexpected(QStringLiteral("%1: expected a language object").arg(place));
    const QJsonObject object = value.toObject();
    auto code = requiredText(object, QStringLiteral("code"), place + QStringLiteral(" > \"code\""));
    if (!code)
        return std::unexpected(code.error());
    auto name = requiredText(object, QStringLiteral("name"), place + QStringLiteral(" > \"name\""));
    if (!name)
        return std::unexpected(name.error());
    return Language{*code, *name};
}

std::expected<Country, QString> decodeCountry(const QJsonValue& value, qsizetype index)
{
    if (!value.isObject())
        return std::unexpected(QStringLiteral("country %1: expected an object").arg(index));
    const QJsonObject object = value.toObject();

    Country country;
    country.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const std::pair<QString, QString*> texts[] = {
        {QStringLiteral("country_code"), &country.countryCode},
        {QStringLiteral("country_name"), &country.countryName},
        {QStringLiteral("country_flag"), &country.countryFlag},
    };
    for (const auto& [key, field] : texts) {
        auto text = requiredText(object, key, where(index, key));
        if (!text)
            return std::unexpected(text.error());
        *field = *text;
    }

    const QString firstKey = QStringLiteral("first_language");
    auto first = decodeLanguage(object.value(firstKey), where(index, firstKey));
    if (!first)
        return std::unexpected(first.error());
    country.firstLanguage = *first;

    const QString secondKey = QStringLiteral("second_languages");
    const QJsonValue seconds = object.value(secondKey);
    if (seconds.isUndefined())
        return std::unexpected(QStringLiteral("%1: missing").arg(where(index, secondKey)));
    if (!seconds.isArray())
        return std::unexpected(QStringLiteral("%1: expected an array").arg(where(index, secondKey)));
    const QJsonArray secondArray = seconds.toArray();
    for (qsizetype i = 0; i < secondArray.size(); ++i) {
        auto language = decodeLanguage(secondArray.at(i), QStringLiteral("%1[%2]").arg(where(index, secondKey)).arg(i));
        if (!language)
            return std::unexpected(language.error());
        country.secondLanguages.append(*language);
    }
    return country;
}

} // namespace

std::expected<QList<Country>, QString> decodeCountries(const QByteArray& json)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return std::unexpected(QStringLiteral("not valid JSON (%1 at offset %2)")
                                   .arg(parseError.errorString())
                                   .arg(parseError.offset));
    if (!document.isArray())
        return std::unexpected(QStringLiteral("expected a JSON array of countries"));

    const QJsonArray array = document.array();
    QList<Country> countries;
    countries.reserve(array.size());
    for (qsizetype index = 0; index < array.size(); ++index) {
        auto country = decodeCountry(array.at(index), index);
        if (!country)
            return std::unexpected(country.error());
        countries.append(std::move(*country));
    }
    return countries;
}

} // namespace Tivrand
