#include "Lumen/foundation/LumenWrapper.h"
#include "Lumen/foundation/imaging/ImageFormat.h"

#include <gtest/gtest.h>

using namespace Lumen;

namespace {

QByteArray bytes(const char* hex, qsizetype paddedTo = 0)
{
    QByteArray data = QByteArray::fromHex(hex);
    return data.leftJustified(std::max(paddedTo, data.size()), '\0');
}

} // namespace

TEST(ImageFormatDetection, SignaturesAndTheNinthByte)
{
    const struct { QByteArray data; ImageFormat expected; } cases[] = {
        {QByteArray(), ImageFormat::unknown},
        // Detection needs more than eight bytes.
        {bytes("89504E470D0A1A0A"), ImageFormat::unknown},
        {bytes("89504E470D0A1A0A", 9), ImageFormat::PNG},
        {bytes("89504E470D0A1A0B", 9), ImageFormat::unknown},
        {QByteArray("GIF"), ImageFormat::unknown},
        {bytes("474946383961", 9), ImageFormat::GIF},
        {bytes("FFD8FF"), ImageFormat::unknown},
        {bytes("FFD8FFE0", 9), ImageFormat::JPEG},
        {bytes("FFD800", 9), ImageFormat::unknown},
        {QByteArray("plain text, not an image"), ImageFormat::unknown},
    };
    for (const auto& [data, expected] : cases)
        EXPECT_EQ(imageFormat(data), expected) << data.toHex().toStdString();
    EXPECT_EQ(lm(bytes("89504E470D0A1A0A", 9)).imageFormat(), ImageFormat::PNG);
}

TEST(JPEGMarkers, BytesFollowTheTable)
{
    const std::pair<JPEGMarker, std::uint8_t> cases[] = {
        {JPEGMarker::SOF0(), 0xC0}, {JPEGMarker::SOF2(), 0xC2}, {JPEGMarker::DHT(), 0xC4},    {JPEGMarker::DQT(), 0xDB},
        {JPEGMarker::DRI(), 0xDD},  {JPEGMarker::SOS(), 0xDA},  {JPEGMarker::APPn(), 0xE0},   {JPEGMarker::COM(), 0xFE},
        {JPEGMarker::EOI(), 0xD9},  {*JPEGMarker::RSTn(3), 0xD3}, {*JPEGMarker::RSTn(7), 0xD7}};
    for (const auto& [marker, second] : cases)
        EXPECT_EQ(marker.bytes(), (std::array<std::uint8_t, 2>{0xFF, second})) << int(second);
    // FF D8 is the start of image, not a ninth restart marker.
    EXPECT_FALSE(JPEGMarker::RSTn(8).has_value());
    EXPECT_FALSE(JPEGMarker::RSTn(255).has_value());
}

TEST(JPEGMarkers, SearchOnlyInJPEGData)
{
    const QByteArray jpeg = bytes("FFD8FFE0001011223344FFDA");
    EXPECT_TRUE(containsJPEGMarker(jpeg, JPEGMarker::SOS()));
    EXPECT_TRUE(containsJPEGMarker(jpeg, JPEGMarker::APPn()));
    EXPECT_FALSE(containsJPEGMarker(jpeg, JPEGMarker::SOF2()));
    EXPECT_FALSE(containsJPEGMarker(bytes("89504E470D0A1A0AFFC2"), JPEGMarker::SOF2()));
    EXPECT_FALSE(lm(bytes("89504E470D0A1A0AFFDA")).contains(JPEGMarker::SOS()));
    // A lone FF at the very end is not a pair.
    EXPECT_FALSE(containsJPEGMarker(bytes("FFD8FFE00000000000FF"), JPEGMarker::EOI()));
}
