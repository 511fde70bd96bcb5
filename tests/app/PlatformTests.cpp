#include "TivrandApp/models/Platform.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace Tivrand;

TEST(Platform, RawValuesRoundTripAndUnknownOnesHaveNoPlatform)
{
    QStringList raw;
    for (const Platform platform : allPlatforms) {
        raw.append(rawValue(platform));
        EXPECT_EQ(platformFromRawValue(rawValue(platform)), platform);
    }
    EXPECT_EQ(raw, QStringList({"iphone", "ipad", "mac", "realityDevice"}));
    EXPECT_EQ(displayName(Platform::Vision), "Vision");
    for (const char* text : {"", "iPhone", "vision", "mac "})
        EXPECT_FALSE(platformFromRawValue(text).has_value()) << text;
}
