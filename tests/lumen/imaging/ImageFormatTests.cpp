#include "Lumen/foundation/LumenWrapper.h"
#include "Lumen/foundation/imaging/ImageFormat.h"
#include "Lumen/foundation/imaging/JPEGFrameHeader.h"
#include "Lumen/foundation/imaging/PNGChunkWalker.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

using namespace Lumen;
using namespace Tivrand::Testing;

namespace {

QByteArray bytes(const char* hex, qsizetype paddedTo = 0)
{
    QByteArray data = QByteArray::fromHex(hex);
    return data.leftJustified(std::max(paddedTo, data.size()), '\0');
}

// Start of image, one frame header and the start of the first scan, each component
// given as its sampling byte (horizontal factor in the high nibble).
QByteArray jpegHeaders(int frameMarker, int width, int height, QList<int> sampling, int scanComponents)
{
    QByteArray frame = QByteArray::fromHex("FFD8FF") + char(frameMarker);
    const int length = 8 + 3 * int(sampling.size());
    frame += char(length >> 8) + QByteArray(1, char(length)) + char(8);
    frame += char(height >> 8) + QByteArray(1, char(height)) + char(width >> 8) + char(width & 0xFF);
    frame += char(sampling.size());
    for (int index = 0; index < sampling.size(); ++index)
        frame += char(index + 1) + QByteArray(1, char(sampling[index])) + char(0);
    return frame + QByteArray::fromHex("FFDA000C") + char(scanComponents) + QByteArray(9, '\0');
}

} // namespace

// Detection needs more than eight bytes; JPEG markers are searched only in JPEG data.
TEST(ImageFormatDetection, SignaturesTheNinthByteAndJPEGMarkers)
{
    const struct { QByteArray data; ImageFormat expected; } cases[] = {
        {bytes("89504E470D0A1A0A"), ImageFormat::unknown}, {bytes("89504E470D0A1A0A", 9), ImageFormat::PNG},
        {bytes("474946383961", 9), ImageFormat::GIF}, {bytes("FFD8FFE0", 9), ImageFormat::JPEG},
        {bytes("FFD800", 9), ImageFormat::unknown}, {QByteArray("GIF"), ImageFormat::unknown},
    };
    for (const auto& [data, expected] : cases)
        EXPECT_EQ(lm(data).imageFormat(), expected) << data.toHex().toStdString();

    // FF D8 is the start of image, not a ninth restart marker.
    EXPECT_FALSE(JPEGMarker::RSTn(8).has_value());
    const QByteArray jpeg = bytes("FFD8FFE0001011223344FFDA");
    EXPECT_TRUE(containsJPEGMarker(jpeg, JPEGMarker::SOS()));
    EXPECT_FALSE(lm(bytes("89504E470D0A1A0AFFDA")).contains(JPEGMarker::SOS()));
    // A lone FF at the very end is not a pair.
    EXPECT_FALSE(containsJPEGMarker(bytes("FFD8FFE00000000000FF"), JPEGMarker::EOI()));
}

TEST(JPEGFrameHeader, ReadsWhatDecodingWillHold)
{
    const QList<int> subsampled{0x22, 0x11, 0x11};
    const struct { const char* name; QByteArray data; bool buffersWholeImage; std::int64_t coefficientBytes; } cases[] = {
        // 5 x 3 luma blocks and 3 x 2 of each chroma component, 128 bytes each.
        {"one interleaved scan", jpegHeaders(0xC0, 40, 24, subsampled, 3), false, 27 * 128},
        {"progressive", jpegHeaders(0xC2, 40, 24, subsampled, 3), true, 27 * 128},
        {"components in separate scans", jpegHeaders(0xC1, 40, 24, subsampled, 1), true, 27 * 128},
        {"the largest progressive frame", jpegHeaders(0xC2, 65500, 32767, subsampled, 3), true,
         (8188LL * 4096 + 2 * 4094LL * 2048) * 128},
        // Bytes between segments and fill bytes before a marker are skipped, as libjpeg does.
        {"garbage and fill bytes", jpegHeaders(0xC2, 40, 24, subsampled, 3).insert(2, QByteArray::fromHex("1234FF00FFFF")),
         true, 27 * 128},
    };
    for (const auto& [name, data, buffers, bytes] : cases) {
        SCOPED_TRACE(name);
        const auto header = readJPEGFrameHeader(data);
        ASSERT_TRUE(header.has_value());
        EXPECT_EQ(header->buffersWholeImage(), buffers);
        EXPECT_EQ(header->coefficientBytes(), bytes);
    }
}

TEST(JPEGFrameHeader, NoneWhereLibjpegCouldNotDecode)
{
    const QByteArray good = jpegHeaders(0xC0, 40, 24, {0x11}, 1);
    const qsizetype scan = good.indexOf(QByteArray::fromHex("FFDA"));
    const std::pair<const char*, QByteArray> cases[] = {
        {"a scan before any frame", QByteArray::fromHex("FFD8FFDA000801010000003F00")},
        {"no scan", good.left(scan)},
        {"no start of image", good.mid(2)},
        {"zero width", jpegHeaders(0xC0, 0, 24, {0x11}, 1)},
        {"a sampling factor of 0", jpegHeaders(0xC0, 40, 24, {0x01}, 1)},
        {"a sampling factor of 5", jpegHeaders(0xC0, 40, 24, {0x51}, 1)},
        {"two frames", QByteArray(good).insert(2, good.mid(2, scan - 2))},
        {"a segment shorter than its length field", QByteArray::fromHex("FFD8FFE00001")},
        {"a segment longer than the data", QByteArray::fromHex("FFD8FFE0FFFF0000")},
    };
    for (const auto& [name, data] : cases)
        EXPECT_FALSE(readJPEGFrameHeader(data).has_value()) << name;
    // Every prefix is read without reading past its end.
    for (qsizetype length = 0; length < good.size(); ++length)
        (void)readJPEGFrameHeader(good.left(length));
}

TEST(PNGChunkWalker, RefusesChunksBeyondTheDataAndOversizedMetadata)
{
    const QByteArray png = encodedBitmap(solidBitmap({8, 8}, Qt::red), "png");
    const struct { const char* name; QByteArray data; std::optional<PNGChunkError> error; } cases[] = {
        {"a whole image", png, std::nullopt},
        {"a large chunk of image data", pngWith(pngChunk("IDAT", QByteArray(5 * 1024 * 1024, '\0'))), std::nullopt},
        {"a text chunk claiming 2 GiB", hostileFixture("png-text-claims-2gib.png"), PNGChunkError::chunkBeyondData},
        {"cut inside a chunk", png.left(png.size() - 20), PNGChunkError::chunkBeyondData},
        {"cut inside a chunk header", png.left(37), PNGChunkError::chunkBeyondData},
        {"a 5 MiB text chunk", pngWithTextChunk(5 * 1024 * 1024), PNGChunkError::oversizedAncillaryChunk},
        {"not PNG", QByteArray("GIF89a, not PNG"), PNGChunkError::notPNG},
    };
    for (const auto& [name, data, error] : cases) {
        SCOPED_TRACE(name);
        const auto walked = walkPNGChunks(data);
        EXPECT_EQ(walked ? std::nullopt : std::optional(walked.error()), error);
    }
    for (qsizetype length = 0; length < png.size(); ++length)
        (void)walkPNGChunks(png.left(length));
}
