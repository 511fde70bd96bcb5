#include "Lumen/foundation/imaging/ImageFormat.h"

#include <gtest/gtest.h>

using namespace Lumen;

namespace {

QByteArray bytes(std::initializer_list<int> values, qsizetype paddedTo = 0)
{
    QByteArray data;
    for (int value : values)
        data.append(char(value));
    while (data.size() < paddedTo)
        data.append(char(0));
    return data;
}

const std::initializer_list<int> pngSignature{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

} // namespace

TEST(ImageFormatDetection, NeedsMoreThanEightBytes)
{
    EXPECT_EQ(imageFormat(QByteArray()), ImageFormat::unknown);
    EXPECT_EQ(imageFormat(bytes(pngSignature)), ImageFormat::unknown);
    EXPECT_EQ(imageFormat(bytes(pngSignature, 9)), ImageFormat::PNG);
    EXPECT_EQ(imageFormat(QByteArray("GIF")), ImageFormat::unknown);
    EXPECT_EQ(imageFormat(bytes({0xFF, 0xD8, 0xFF})), ImageFormat::unknown);
}

TEST(ImageFormatDetection, RecognisesSignatures)
{
    EXPECT_EQ(imageFormat(bytes({0xFF, 0xD8, 0xFF, 0xE0}, 9)), ImageFormat::JPEG);
    EXPECT_EQ(imageFormat(bytes({0xFF, 0xD8, 0x00}, 9)), ImageFormat::unknown);
    EXPECT_EQ(imageFormat(bytes({0x47, 0x49, 0x46, 0x38, 0x39, 0x61}, 9)), ImageFormat::GIF);
    EXPECT_EQ(imageFormat(bytes({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0B}, 9)), ImageFormat::unknown);
    EXPECT_EQ(imageFormat(QByteArray("plain text, not an image")), ImageFormat::unknown);
}

TEST(JPEGMarkers, BytesFollowTheTable)
{
    using Bytes = std::array<std::uint8_t, 2>;
    EXPECT_EQ(JPEGMarker::SOF0().bytes(), (Bytes{0xFF, 0xC0}));
    EXPECT_EQ(JPEGMarker::SOF2().bytes(), (Bytes{0xFF, 0xC2}));
    EXPECT_EQ(JPEGMarker::DHT().bytes(), (Bytes{0xFF, 0xC4}));
    EXPECT_EQ(JPEGMarker::DQT().bytes(), (Bytes{0xFF, 0xDB}));
    EXPECT_EQ(JPEGMarker::DRI().bytes(), (Bytes{0xFF, 0xDD}));
    EXPECT_EQ(JPEGMarker::SOS().bytes(), (Bytes{0xFF, 0xDA}));
    EXPECT_EQ(JPEGMarker::APPn().bytes(), (Bytes{0xFF, 0xE0}));
    EXPECT_EQ(JPEGMarker::COM().bytes(), (Bytes{0xFF, 0xFE}));
    EXPECT_EQ(JPEGMarker::EOI().bytes(), (Bytes{0xFF, 0xD9}));
    EXPECT_EQ(JPEGMarker::RSTn(3)->bytes(), (Bytes{0xFF, 0xD3}));
    EXPECT_EQ(JPEGMarker::RSTn(7)->bytes(), (Bytes{0xFF, 0xD7}));
    // FF D8 is the start of image, not a ninth restart marker.
    EXPECT_FALSE(JPEGMarker::RSTn(8).has_value());
    EXPECT_FALSE(JPEGMarker::RSTn(255).has_value());
}

TEST(JPEGMarkers, SearchOnlyInJPEGData)
{
    const QByteArray jpeg = bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x11, 0x22, 0x33, 0xFF, 0xDA});
    EXPECT_TRUE(containsJPEGMarker(jpeg, JPEGMarker::SOS()));
    EXPECT_TRUE(containsJPEGMarker(jpeg, JPEGMarker::APPn()));
    EXPECT_FALSE(containsJPEGMarker(jpeg, JPEGMarker::SOF2()));

    QByteArray png = bytes(pngSignature);
    png.append(char(0xFF));
    png.append(char(0xC2));
    EXPECT_FALSE(containsJPEGMarker(png, JPEGMarker::SOF2()));

    // A lone FF at the very end is not a pair.
    EXPECT_FALSE(containsJPEGMarker(bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0, 0, 0, 0xFF}), JPEGMarker::EOI()));
}
