#include "TivrandApp/models/Platform.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace Tivrand;

TEST(Platform, RawValuesRoundTripInDeclarationOrder)
{
    const QStringList expected{"iphone", "ipad", "mac", "realityDevice"};
    QStringList actual;
    for (const Platform platform : allPlatforms) {
        actual.append(rawValue(platform));
        EXPECT_EQ(platformFromRawValue(rawValue(platform)), platform);
    }
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(displayName(Platform::Vision), "Vision");
}

TEST(Platform, UnknownRawValuesHaveNoPlatform)
{
    for (const char* text : {"", "iPhone", "vision", "mac "})
        EXPECT_FALSE(platformFromRawValue(text).has_value()) << text;
}
