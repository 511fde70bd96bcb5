#include "TivrandApp/models/Country.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include <algorithm>

using namespace Tivrand;

namespace {

const QByteArray twoCountries = R"j([
  {"country_code": "TR", "country_name": "Türkiye", "country_flag": "🇹🇷",
   "first_language": {"code": "tr", "name": "Turkish"},
   "second_languages": [{"code": "en-GB", "name": "English (U.K.)"}]},
  {"country_code": "US", "country_name": "United States", "country_flag": "🇺🇸",
   "first_language": {"code": "en-US", "name": "English (U.S.)"}, "second_languages": []}
])j";

QString decodingError(const QByteArray& json)
{
    const auto decoded = decodeCountries(json);
    return decoded ? QString() : decoded.error();
}

} // namespace

TEST(CountryDecoding, ReadsEveryFieldInFileOrderWithFreshIds)
{
    const auto countries = decodeCountries(twoCountries);
    ASSERT_TRUE(countries.has_value()) << countries.error().toStdString();
    ASSERT_EQ(countries->size(), 2);
    const Country& turkey = countries->at(0);
    EXPECT_EQ(turkey.countryCode, "TR");
    EXPECT_EQ(turkey.countryName, QString::fromUtf8("Türkiye"));
    EXPECT_EQ(turkey.countryFlag, QString::fromUtf8("🇹🇷"));
    EXPECT_EQ(turkey.firstLanguage, (Language{"tr", "Turkish"}));
    EXPECT_EQ(turkey.secondLanguages, (QList<Language>{{"en-GB", "English (U.K.)"}}));
    EXPECT_TRUE(countries->at(1).secondLanguages.isEmpty());

    EXPECT_FALSE(turkey.id.isEmpty());
    EXPECT_NE(turkey.id, countries->at(1).id);
    EXPECT_NE(turkey.id, decodeCountries(twoCountries)->at(0).id);
}

TEST(CountryDecoding, EqualityIsByCountryCodeAlone)
{
    Country a{"1", "US", "United States", "", {"en-US", "English"}, {}};
    Country b{"2", "US", "USA", "x", {"es-MX", "Spanish"}, {{"fr-FR", "French"}}};
    Country c = a;
    c.countryCode = "us";
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST(CountryDecoding, BadInputGivesReadableErrors)
{
    EXPECT_TRUE(decodingError("[{").startsWith("not valid JSON"));
    EXPECT_TRUE(decodingError("").startsWith("not valid JSON"));
    EXPECT_EQ(decodingError(R"({"country_code": "US"})"), "expected a JSON array of countries");
    EXPECT_EQ(decodingError("[42]"), "country 0: expected an object");

    QByteArray missingName = twoCountries;
    missingName.replace(R"("country_name": "United States", )", "");
    EXPECT_EQ(decodingError(missingName), R"(country 1, key "country_name": missing)");

    QByteArray numericCode = twoCountries;
    numericCode.replace(R"("country_code": "TR")", R"("country_code": 90)");
    EXPECT_EQ(decodingError(numericCode), R"(country 0, key "country_code": expected a text)");

    QByteArray languageAsText = twoCountries;
    languageAsText.replace(R"({"code": "tr", "name": "Turkish"})", R"("tr")");
    EXPECT_EQ(decodingError(languageAsText), R"(country 0, key "first_language": expected a language object)");

    QByteArray badSecond = twoCountries;
    badSecond.replace(R"j({"code": "en-GB", "name": "English (U.K.)"})j", R"({"code": "en-GB"})");
    EXPECT_EQ(decodingError(badSecond), R"(country 0, key "second_languages"[0] > "name": missing)");

    QByteArray secondsAsObject = twoCountries;
    secondsAsObject.replace(R"("second_languages": [])", R"("second_languages": {})");
    EXPECT_EQ(decodingError(secondsAsObject), R"(country 1, key "second_languages": expected an array)");
}

TEST(CountryDecoding, BundledResourceDecodesWithUniqueCodesAndUnitedStates)
{
    QFile resource(countriesResourcePath);
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    const auto countries = decodeCountries(resource.readAll());
    ASSERT_TRUE(countries.has_value()) << countries.error().toStdString();
    EXPECT_GE(countries->size(), 170);

    QStringList codes;
    for (const Country& country : *countries) {
        EXPECT_EQ(country.countryCode.size(), 2) << country.countryName.toStdString();
        EXPECT_FALSE(country.firstLanguage.code.isEmpty()) << country.countryCode.toStdString();
        codes.append(country.countryCode);
    }
    codes.sort();
    EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());

    const auto unitedStates = std::find_if(countries->begin(), countries->end(),
                                           [](const Country& country) { return country.countryCode == "US"; });
    ASSERT_NE(unitedStates, countries->end());
    EXPECT_EQ(unitedStates->firstLanguage.code, "en-US");
}
