#include "Lumen/foundation/KeyHelpers.h"
#include "Lumen/foundation/LumenWrapper.h"

#include <gtest/gtest.h>

namespace Lumen {
namespace {

TEST(KeyFileExtension, TakesTextAfterLastDotBeforeFirstAt)
{
    EXPECT_EQ(fileExtension(u"photo.png"), QStringLiteral("png"));
    EXPECT_EQ(fileExtension(u"a.b.jpg@2x"), QStringLiteral("jpg"));
    EXPECT_EQ(fileExtension(u"@photo.gif"), QStringLiteral("gif"));
    EXPECT_EQ(fileExtension(u"@@photo.gif@x.png"), QStringLiteral("gif"));
    EXPECT_EQ(fileExtension(u"archive.tar/inner"), QStringLiteral("tar/inner"));
    EXPECT_EQ(fileExtension(u"https://host/i.webp?s=2"), QStringLiteral("webp?s=2"));
}

TEST(KeyFileExtension, NoneWithoutExtensionText)
{
    EXPECT_EQ(fileExtension(u"photo"), std::nullopt);
    EXPECT_EQ(fileExtension(u"photo."), std::nullopt);
    EXPECT_EQ(fileExtension(u"photo@2x.png"), std::nullopt);
    EXPECT_EQ(fileExtension(u""), std::nullopt);
    EXPECT_EQ(fileExtension(u"@"), std::nullopt);
    EXPECT_EQ(fileExtension(u"@@@"), std::nullopt);
}

TEST(KeyFileExtension, WrapperGivesTheSameExtension)
{
    EXPECT_EQ(lm(QStringLiteral("a.b.jpg@2x")).fileExtension(), QStringLiteral("jpg"));
    EXPECT_EQ(lm(QStringLiteral("photo")).fileExtension(), std::nullopt);
}

} // namespace
} // namespace Lumen
