#pragma once

#include "TivrandApp/models/Language.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <expected>

namespace Tivrand {

// One store country (storefront). Two countries are the same when their codes are.
struct Country {
    QString id; // a fresh UUID text, made at decoding
    QString countryCode;
    QString countryName;
    QString countryFlag;
    Language firstLanguage;
    QList<Language> secondLanguages;

    friend bool operator==(const Country& a, const Country& b) { return a.countryCode == b.countryCode; }
};

// The application resource holding every storefront, a JSON array read by decodeCountries().
inline constexpr auto countriesResourcePath = ":/Countries.json";

// Decodes a JSON array of countries, each an object with the keys "country_code",
// "country_name", "country_flag" (texts), "first_language" (a language object) and
// "second_languages" (an array of language objects), in file order. Every key is required;
// the error text says what is wrong and where.
std::expected<QList<Country>, QString> decodeCountries(const QByteArray& json);

} // namespace Tivrand
