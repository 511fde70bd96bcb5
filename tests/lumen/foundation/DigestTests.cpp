#include "Lumen/foundation/Digest.h"
#include "Lumen/foundation/LumenWrapper.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace Lumen {
namespace {

TEST(Digest, MatchesPublishedVectors)
{
    EXPECT_EQ(sha256Hex(u""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex(u"abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Digest, HashesUtf8BytesOfNonAsciiText)
{
    EXPECT_EQ(sha256Hex(QStringLiteral(u"Grüße, 日本")),
              "0b836833dc8ecad120bdeafe52e9eab681da2d0d7704e451b216aad3d2b2ab78");
    // A character outside the BMP is one four-byte sequence, not two surrogates.
    EXPECT_EQ(sha256Hex(QStringLiteral(u"😀")), "f0443a342c5ef54783a111b51ba56c938e474c32324d90c3a60c9c8e3a37e2d9");
}

TEST(Digest, AlwaysSixtyFourLowercaseHexDigits)
{
    const QRegularExpression shape(QStringLiteral("^[0-9a-f]{64}$"));
    for (const QString& key : {QString(), QStringLiteral("https://example.com/a.png@2x"), QString(5000, u'x')})
        EXPECT_TRUE(shape.match(sha256Hex(key)).hasMatch()) << key.left(40).toStdString();
}

TEST(Digest, LoneSurrogatesKeepDistinctDigests)
{
    const QString high = QStringLiteral("a") + QChar(char16_t(0xD800)) + QStringLiteral("b");
    const QString otherHigh = QStringLiteral("a") + QChar(char16_t(0xDBFF)) + QStringLiteral("b");
    const QString replaced = QStringLiteral("a") + QChar(char16_t(0xFFFD)) + QStringLiteral("b");

    // Never the raw key, and never the digest of a lossy conversion.
    EXPECT_EQ(sha256Hex(high), "45e334b6c74ca5db8d8f8fcd1157fb31a2ebc9953e0d8d182e37b6b67e6a1705");
    EXPECT_NE(sha256Hex(high), sha256Hex(otherHigh));
    EXPECT_NE(sha256Hex(high), sha256Hex(replaced));
}

TEST(Digest, WrapperGivesTheSameDigest)
{
    EXPECT_EQ(lm(QStringLiteral("abc")).sha256(), sha256Hex(u"abc"));
}

} // namespace
} // namespace Lumen
