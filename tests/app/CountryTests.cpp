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

QString errorOf(const QByteArray& json)
{
    const auto decoded = decodeCountries(json);
    return decoded ? QString("decoded") : decoded.error();
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
    EXPECT_NE(turkey.id, countries->at(1).id);
    EXPECT_NE(turkey.id, decodeCountries(twoCountries)->at(0).id);
}

TEST(CountryDecoding, BadInputGivesReadableErrors)
{
    // Malformed JSON carries the parser's reason after the prefix.
    for (const QByteArray json : {"[{", ""})
        EXPECT_TRUE(errorOf(json).startsWith("not valid JSON")) << json.toStdString();
    EXPECT_EQ(errorOf(R"({"country_code": "US"})"), "expected a JSON array of countries");
    EXPECT_EQ(errorOf("[42]"), "country 0: expected an object");

    const struct {
        const char* from;
        const char* to;
        const char* error;
    } edits[] = {
        {R"("country_name": "United States", )", "", R"(country 1, key "country_name": missing)"},
        {R"("country_code": "TR")", R"("country_code": 90)", R"(country 0, key "country_code": expected a text)"},
        {R"({"code": "tr", "name": "Turkish"})", R"("tr")",
         R"(country 0, key "first_language": expected a language object)"},
        {R"j({"code": "en-GB", "name": "English (U.K.)"})j", R"({"code": "en-GB"})",
         R"(country 0, key "second_languages"[0] > "name": missing)"},
        {R"("second_languages": [])", R"("second_languages": {})",
         R"(country 1, key "second_languages": expected an array)"},
    };
    for (const auto& each : edits)
        EXPECT_EQ(errorOf(QByteArray(twoCountries).replace(each.from, each.to)), each.error);
}

TEST(CountryDecoding, BundledResourceHasUniqueTwoLetterCodes)
{
    QFile resource(countriesResourcePath);
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    const auto countries = decodeCountries(resource.readAll());
    ASSERT_TRUE(countries.has_value()) << countries.error().toStdString();
    QStringList codes;
    for (const Country& country : *countries) {
        EXPECT_EQ(country.countryCode.size(), 2) << country.countryName.toStdString();
        codes.append(country.countryCode);
    }
    codes.sort();
    EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());
}
