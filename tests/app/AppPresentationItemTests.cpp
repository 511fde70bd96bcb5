#include "TivrandApp/models/AppPresentationItem.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

using namespace Tivrand;

namespace {

const Country unitedStates{"id", "US", "United States", "", {"en-US", "English"}, {}};

SearchAppSearchResultDatum datum(const char* text)
{
    return *SearchAppSearchResultDatum::fromJson(QJsonDocument::fromJson(QByteArray(text)).object());
}

const char* const twoFamilies = R"({"id": "42", "type": "apps", "attributes": {
    "name": "Harbor", "artistName": "Quay", "url": "https://apps.apple.com/us/app/id42",
    "userRating": {"value": 4.25, "ratingCount": 880},
    "platformAttributes": {
        "ios": {"subtitle": "Phone", "artwork": {"url": "https://x/ios/{w}x{h}{c}.{f}"}},
        "osx": {"subtitle": "Desk", "artwork": {"url": "https://x/osx/{w}x{h}{c}.{f}"}}
    }}})";

} // namespace

TEST(AppPresentationItem, CompleteRecordFillsEveryField)
{
    const auto item = AppPresentationItem::make(datum(twoFamilies), Platform::iPad, unitedStates);
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

    const auto again = AppPresentationItem::make(datum(twoFamilies), Platform::iPad, unitedStates);
    EXPECT_FALSE(item->id.isEmpty());
    EXPECT_NE(item->id, again->id);
}

TEST(AppPresentationItem, PlatformChoosesItsFamilyThenFallsBack)
{
    EXPECT_EQ(AppPresentationItem::make(datum(twoFamilies), Platform::Mac, unitedStates)->subtitle, "Desk");
    EXPECT_EQ(AppPresentationItem::make(datum(twoFamilies), Platform::Vision, unitedStates)->subtitle, "Phone");

    const char* const onlyUnknownFamily = R"({"id": "1", "attributes": {"name": "N", "url": "u",
        "platformAttributes": {"appletvos": {"subtitle": "TV"}}}})";
    EXPECT_EQ(AppPresentationItem::make(datum(onlyUnknownFamily), Platform::iPhone, unitedStates)->subtitle, "TV");

    const char* const visionAndMac = R"({"id": "1", "attributes": {"name": "N", "url": "u",
        "platformAttributes": {"xros": {"subtitle": "Space"}, "osx": {"subtitle": "Desk"}}}})";
    EXPECT_EQ(AppPresentationItem::make(datum(visionAndMac), Platform::Vision, unitedStates)->subtitle, "Space");
    EXPECT_EQ(AppPresentationItem::make(datum(visionAndMac), Platform::iPhone, unitedStates)->subtitle, "Desk");
}

TEST(AppPresentationItem, IncompleteRecordsGiveNoItem)
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
        EXPECT_FALSE(AppPresentationItem::make(datum(text), Platform::iPhone, unitedStates)) << text;
}

TEST(AppPresentationItem, MissingIconSubtitleAndRatingAreShownAsSuch)
{
    const auto item = AppPresentationItem::make(datum(R"({"id": "7", "attributes": {"name": "Bare", "url": "u"}})"),
                                                Platform::iPhone, unitedStates);
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item->iconUrl, "");
    EXPECT_FALSE(item->subtitle.has_value());
    EXPECT_EQ(item->rating, 0.0);
    EXPECT_EQ(item->ratingCount, 0);
    EXPECT_EQ(item->developerName, "");
}

TEST(AppPresentationItem, IconTemplateIsFilledInOrder)
{
    EXPECT_EQ(iconUrlFromTemplate("https://is1-ssl.mzstatic.com/image/thumb/a/AppIcon.png/{w}x{h}{c}.{f}"),
              "https://is1-ssl.mzstatic.com/image/thumb/a/AppIcon.png/100x100bb.png");
    EXPECT_EQ(iconUrlFromTemplate("{f}/{c}/{h}/{w}/{w}"), "png/bb/100/100/100");
    EXPECT_EQ(iconUrlFromTemplate("https://x/plain.png"), "https://x/plain.png");
}
