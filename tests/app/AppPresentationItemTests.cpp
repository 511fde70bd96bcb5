#include "TivrandApp/models/AppPresentationItem.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

using namespace Tivrand;

namespace {

const Country unitedStates{"id", "US", "United States", "", {"en-US", "English"}, {}};

std::optional<AppPresentationItem> itemFrom(const char* json, Platform platform = Platform::iPhone)
{
    const auto datum = SearchAppSearchResultDatum::fromJson(QJsonDocument::fromJson(json).object());
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

TEST(AppPresentationItem, CompleteRecordFillsEveryFieldWithAFreshId)
{
    const auto item = itemFrom(twoFamilies, Platform::iPad);
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item->appId, "42");
    EXPECT_EQ(item->name, "Harbor");
    EXPECT_EQ(item->developerName, "Quay");
    EXPECT_EQ(item->subtitle, "Phone");
    EXPECT_EQ(item->rating, 4.25);
    EXPECT_EQ(item->ratingCount, 880);
    EXPECT_EQ(item->appStoreUrl, "https://apps.apple.com/us/app/id42");
    EXPECT_EQ(item->iconUrl, "https://x/ios/100x100bb.png");
    EXPECT_EQ(item->platform, Platform::iPad);
    EXPECT_EQ(item->country.countryCode, "US");
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
    EXPECT_EQ(bare->iconUrl, "");
    EXPECT_FALSE(bare->subtitle.has_value());
    EXPECT_EQ(bare->ratingCount, 0);
}

TEST(AppPresentationItem, IconTemplateIsFilledWhereverItsPlaceholdersStand)
{
    EXPECT_EQ(iconUrlFromTemplate("{f}/{c}/{h}/{w}/{w}"), "png/bb/100/100/100");
    EXPECT_EQ(iconUrlFromTemplate("https://x/plain.png"), "https://x/plain.png");
}
