#include "TivrandApp/models/AppContentsResponse.h"
#include "TivrandApp/models/AppPresentationItem.h"
#include "TivrandApp/models/RecordDescription.h"
#include "TivrandApp/models/SearchAppResponse.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Tivrand;

namespace {

QJsonValue json(const char* text)
{
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(text));
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

const Country unitedStates{"id", "US", "United States", "", {"en-US", "English"}, {}};

std::optional<AppPresentationItem> itemFrom(const char* text, Platform platform = Platform::iPhone)
{
    const auto datum = SearchAppSearchResultDatum::fromJson(json(text));
    return AppPresentationItem::make(*datum, platform, unitedStates);
}

const char* const twoFamilies = R"({"id": "42", "type": "apps", "attributes": {
    "name": "Harbor", "artistName": "Quay", "url": "https://apps.apple.com/us/app/id42",
    "userRating": {"value": 4.25, "ratingCount": 880},
    "platformAttributes": {
        "ios": {"subtitle": "Phone", "artwork": {"url": "https://x/ios/{w}x{h}{c}.{f}"}},
        "osx": {"subtitle": "Desk", "artwork": {"url": "https://x/osx/{w}x{h}{c}.{f}"}}
    }}})";

} // namespace

TEST(CatalogRecords, MissingOrMistypedKeysAreAbsent)
{
    EXPECT_FALSE(SearchAppResponse::fromJson(json("[]")).has_value());
    EXPECT_FALSE(AppContentsResponse::fromJson(QJsonValue("text")).has_value());
    EXPECT_FALSE(SearchAppSearchResultDatum::fromJson(QJsonValue(3)).has_value());
    EXPECT_FALSE(SearchAppResponse::fromJson(json(R"({"results": []})"))->results.has_value());
    EXPECT_FALSE(SearchAppResponse::fromJson(json(R"({"results": {"searchResult": {}}})"))->results->searchResult);
    EXPECT_FALSE(SearchAppResponse::fromJson(json(R"({"results": {"search-result": {"data": "x"}}})"))
                     ->results->searchResult->data.has_value());

    const auto contents = AppContentsResponse::fromJson(json(R"({"data": [
        7, "text", null,
        {"id": 1000, "type": ["apps"], "attributes": {
            "name": false, "artistName": {}, "url": 3,
            "userRating": {"value": "4.5", "ratingCount": 12.5},
            "platformAttributes": {"ios": {"subtitle": 1, "artwork": {"url": [], "width": "512", "height": 1e12}}, "osx": 5}
        }},
        {"id": "2", "attributes": "none"}
    ]})"));
    ASSERT_TRUE(contents && contents->data);
    ASSERT_EQ(contents->data->size(), 2) << "elements that are not objects are left out";
    const SearchAppSearchResultDatum& mistyped = contents->data->at(0);
    EXPECT_FALSE(mistyped.id || mistyped.type);
    const SearchAppAttributes& attributes = mistyped.attributes.value();
    EXPECT_FALSE(attributes.name || attributes.artistName || attributes.url);
    EXPECT_FALSE(attributes.userRating.value().value || attributes.userRating->ratingCount);
    ASSERT_EQ(attributes.platformAttributes.value().keys(), QStringList{"ios"});
    const SearchAppPlatformAttributes& ios = attributes.platformAttributes->value("ios");
    EXPECT_FALSE(ios.subtitle || ios.artwork.value().url || ios.artwork->width || ios.artwork->height);
    EXPECT_FALSE(contents->data->at(1).attributes.has_value());
}

TEST(CatalogRecords, DescriptionShowsPresentAndAbsentFields)
{
    const auto response = SearchAppResponse::fromJson(
        json(R"({"results": {"search-result": {"data": [{"id": "1", "type": "apps", "attributes": {"name": "Say \"hi\""}}]}}})"));
    EXPECT_EQ(response->description(),
              R"(SearchAppResponse(results: SearchAppResults(searchResult: SearchAppSearchResult(data: [)"
              R"(SearchAppSearchResultDatum(id: "1", type: "apps", href: nil, attributes: Attributes(name: "Say \"hi\"", )"
              R"(artistName: nil, url: nil, userRating: nil, platformAttributes: nil))]))))");
    EXPECT_EQ(AppContentsResponse{}.description(), "AppContentsResponse(data: nil)");
    EXPECT_EQ(SearchAppUserRating::fromJson(json(R"({"value": 4.5, "ratingCount": 3})"))->description(),
              "UserRating(value: 4.5, ratingCount: 3)");
}

TEST(CatalogRecords, DescribedTextsStayOnOneLine)
{
    const struct {
        QString text;
        QString described;
    } cases[] = {
        {"two\nlines", R"("two\nlines")"},
        {"cr\r\nlf", R"("cr\r\nlf")"},
        {"tab\there", R"("tab\there")"},
        {"back\\slash \"quoted\"", R"("back\\slash \"quoted\"")"},
        {QStringLiteral("bell\x07 esc\x1b[31m del\x7f nel\u0085 ls\u2028 ps\u2029"),
         R"("bell\u{7} esc\u{1b}[31m del\u{7f} nel\u{85} ls\u{2028} ps\u{2029}")"},
        {QStringLiteral("Ünïcödé 🚀"), QStringLiteral("\"Ünïcödé 🚀\"")},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.described.toStdString());
        EXPECT_EQ(RecordDescription::describe(std::optional(each.text)).toStdString(), each.described.toStdString());
    }
}

TEST(AppPresentationItem, CompleteRecordFillsEveryFieldWithAFreshId)
{
    const auto item = itemFrom(twoFamilies, Platform::iPad);
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(QStringList({item->appId, item->name, item->developerName, item->appStoreUrl, item->iconUrl}),
              QStringList({"42", "Harbor", "Quay", "https://apps.apple.com/us/app/id42", "https://x/ios/100x100bb.png"}));
    EXPECT_EQ(std::pair(item->rating, item->ratingCount), std::pair(4.25, 880));
    EXPECT_NE(item->id, itemFrom(twoFamilies, Platform::iPad)->id);
}

TEST(AppPresentationItem, PlatformChoosesItsFamilyThenFallsBack)
{
    const char* const unknownFamily = R"({"id": "1", "attributes": {"name": "N", "url": "u",
        "platformAttributes": {"appletvos": {"subtitle": "TV"}}}})";
    const char* const visionAndMac = R"({"id": "1", "attributes": {"name": "N", "url": "u",
        "platformAttributes": {"xros": {"subtitle": "Space"}, "osx": {"subtitle": "Desk"}}}})";
    const struct {
        const char* json;
        Platform platform;
        const char* subtitle;
    } cases[] = {
        {twoFamilies, Platform::Mac, "Desk"},      {twoFamilies, Platform::Vision, "Phone"},
        {unknownFamily, Platform::iPhone, "TV"},   {visionAndMac, Platform::Vision, "Space"},
        {visionAndMac, Platform::iPhone, "Desk"},
    };
    for (const auto& each : cases)
        EXPECT_EQ(itemFrom(each.json, each.platform)->subtitle, each.subtitle) << each.json;
}

TEST(AppPresentationItem, IncompleteRecordsGiveNoItemButOptionalFieldsMayBeMissing)
{
    for (const char* text : {
             R"({"attributes": {"name": "N", "url": "u"}})",
             R"({"id": "", "attributes": {"name": "N", "url": "u"}})",
             R"({"id": "1", "attributes": {"url": "u"}})",
             R"({"id": "1", "attributes": {"name": "", "url": "u"}})",
             R"({"id": "1", "attributes": {"name": "N"}})",
             R"({"id": "1", "attributes": {"name": "N", "url": 5}})",
             R"({"id": "1"})",
         })
        EXPECT_FALSE(itemFrom(text)) << text;

    const auto bare = itemFrom(R"({"id": "7", "attributes": {"name": "Bare", "url": "u"}})");
    ASSERT_TRUE(bare.has_value());
    EXPECT_FALSE(bare->subtitle.has_value());
}

TEST(AppPresentationItem, IconTemplateIsFilledWhereverItsPlaceholdersStand)
{
    EXPECT_EQ(iconUrlFromTemplate("{f}/{c}/{h}/{w}/{w}"), "png/bb/100/100/100");
    EXPECT_EQ(iconUrlFromTemplate("https://x/plain.png"), "https://x/plain.png");
}
