#include "Lumen/foundation/LumenWrapper.h"
#include "Lumen/foundation/imaging/BitmapContext.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/ImageEncoding.h"
#include "Lumen/foundation/imaging/ImageFormat.h"
#include "Lumen/foundation/imaging/JPEGFrameHeader.h"
#include "Lumen/foundation/imaging/PNGChunkWalker.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

#include <QColorSpace>
#include <QRandomGenerator>
#include <QtEndian>

#include <cmath>
#include <limits>

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

// A valid PNG of one pixel whose header claims `width` x `height`, checksum fixed up.
QByteArray pngClaiming(int width, int height)
{
    QByteArray png = encodedBitmap(solidBitmap({1, 1}, Qt::red), "png");
    // Signature (8), chunk length (4), "IHDR" (4), then width and height.
    qToBigEndian<std::uint32_t>(width, png.data() + 16);
    qToBigEndian<std::uint32_t>(height, png.data() + 20);
    qToBigEndian<std::uint32_t>(crc32(png.mid(12, 17)), png.data() + 29);
    return png;
}

// A small progressive JPEG whose frame header claims `width` x `height`.
QByteArray progressiveJpegClaiming(int width, int height)
{
    QByteArray jpeg = encodedBitmap(solidBitmap({16, 16}, Qt::blue), "jpeg", 90, true);
    const qsizetype frame = jpeg.indexOf(QByteArray::fromHex("FFC2"));
    // Marker (2), length (2), precision (1), then height and width.
    qToBigEndian<std::uint16_t>(height, jpeg.data() + frame + 5);
    qToBigEndian<std::uint16_t>(width, jpeg.data() + frame + 7);
    return jpeg;
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
    EXPECT_TRUE(containsJPEGMarker(bytes("FFD8FFE0001011223344FFDA"), JPEGMarker::SOS()));
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
    // Every prefix is read without reading past its end; the size is known once the scan
    // header's component count is in.
    const qsizetype known = scan + 5;
    for (qsizetype length = 0; length < good.size(); ++length) {
        const auto header = readJPEGFrameHeader(good.left(length));
        EXPECT_EQ(header ? header->size : QSize(), length >= known ? QSize(40, 24) : QSize()) << length;
    }
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
        const auto walked = walkPNGChunks(data);
        EXPECT_EQ(walked ? std::nullopt : std::optional(walked.error()), error) << name;
    }
    // A prefix is whole only where it ends between chunks.
    QList<qsizetype> chunkEnds;
    for (qsizetype end = 8; end < png.size(); end += 12 + qFromBigEndian<std::uint32_t>(png.constData() + end))
        chunkEnds.append(end + 12 + qFromBigEndian<std::uint32_t>(png.constData() + end));
    for (qsizetype length = 0; length < png.size(); ++length) {
        const auto walked = walkPNGChunks(png.left(length));
        const auto expected = length <= 8 ? std::optional(PNGChunkError::notPNG)
                              : chunkEnds.contains(length) ? std::nullopt
                                                            : std::optional(PNGChunkError::chunkBeyondData);
        EXPECT_EQ(walked ? std::nullopt : std::optional(walked.error()), expected) << length;
    }
}

TEST(ImageEncoding, EncodesByFormat)
{
    const ImagePtr image = solidImage({5, 3}, Qt::blue);
    EXPECT_EQ(imageFormat(lm(image).pngRepresentation().value_or(QByteArray())), ImageFormat::PNG);
    EXPECT_EQ(imageFormat(encodedData(image, ImageFormat::unknown, 1.0).value()), ImageFormat::PNG);
    // GIF is never encoded: only the bytes an animated image came from are given back.
    EXPECT_FALSE(encodedData(image, ImageFormat::GIF, 1.0).has_value());
    const QByteArray gif = solidGif({4, 4}, 2);
    EXPECT_EQ(encodedData(imageFromData(gif, {}), ImageFormat::GIF, 1.0), std::optional(gif));
    EXPECT_FALSE(pngRepresentation(Image::makeEmpty()).has_value());
    EXPECT_FALSE(jpegRepresentation(image, std::nan("")).has_value());
    const ImagePtr detailed = Image::make(detailedBitmap({64, 64}));
    EXPECT_LT(jpegRepresentation(detailed, 0.1)->size(), jpegRepresentation(detailed, 1.0)->size());
}

// The fast PNG path must decode exactly as Qt's own writer's output does: pixels, format,
// colour space and resolution; bitmaps it does not cover go through Qt's writer.
TEST(ImageEncoding, PNGDecodesAsQtsWriterWould)
{
    const auto noise = [](QSize size) {
        QImage bitmap(size, QImage::Format_ARGB32);
        for (int y = 0; y < bitmap.height(); ++y)
            for (int x = 0; x < bitmap.width(); ++x)
                bitmap.setPixel(x, y, QRandomGenerator::global()->generate());
        return bitmap;
    };
    QImage inDisplayP3 = detailedBitmap({40, 24}, true);
    inDisplayP3.setColorSpace(QColorSpace::DisplayP3);
    QImage withText = detailedBitmap({8, 8});
    withText.setText(QStringLiteral("Title"), QStringLiteral("icon"));
    withText.setText(QStringLiteral("Description"), QStringLiteral("Ünïcode ✓, and longer than forty characters"));
    withText.setText(QStringLiteral("Empty"), QString());
    QImage withUnwritableKey = detailedBitmap({8, 8});
    withUnwritableKey.setText(QStringLiteral(" leading space"), QStringLiteral("kept by Qt's writer"));
    QImage unusualResolution = detailedBitmap({9, 5}).convertToFormat(QImage::Format_RGB32);
    unusualResolution.setDotsPerMeterX(1000);

    const struct { const char* name; QImage bitmap; } cases[] = {
        {"opaque premultiplied", detailedBitmap({64, 64})},
        {"translucent premultiplied", detailedBitmap({63, 17}, true)},
        {"unpremultiplied", detailedBitmap({31, 31}, true).convertToFormat(QImage::Format_ARGB32)},
        {"without alpha", detailedBitmap({256, 3}).convertToFormat(QImage::Format_RGB32)},
        {"noise", noise({67, 33})},
        // Large enough to choose the rows' filtering by a band from the middle.
        {"large detailed", detailedBitmap({128, 128}, true)},
        {"large flat", solidBitmap({160, 120}, QColor(10, 20, 30, 40))},
        {"large noise", noise({128, 128})},
        {"one long row", detailedBitmap({20000, 1})},
        {"one pixel", solidBitmap({1, 1}, QColor(10, 20, 30, 40))},
        {"colour space", inDisplayP3},
        {"resolution", unusualResolution},
        {"text keys", withText},
        {"a key no PNG keyword can hold", withUnwritableKey},
        {"grayscale", detailedBitmap({12, 7}).convertToFormat(QImage::Format_Grayscale8)},
        {"indexed", detailedBitmap({12, 7}).convertToFormat(QImage::Format_Indexed8)},
    };
    for (const auto& [name, bitmap] : cases) {
        const QImage expected = QImage::fromData(encodedBitmap(bitmap, "png"));
        const QImage actual = QImage::fromData(pngRepresentation(Image::make(bitmap)).value_or(QByteArray()));
        EXPECT_EQ(actual, expected) << name;
        EXPECT_EQ(actual.format(), expected.format()) << name;
        EXPECT_EQ(actual.colorSpace(), expected.colorSpace()) << name;
        EXPECT_EQ(actual.dotsPerMeterX(), expected.dotsPerMeterX()) << name;
        EXPECT_EQ(actual.dotsPerMeterY(), expected.dotsPerMeterY()) << name;
        EXPECT_EQ(actual.text(), expected.text()) << name;
    }
}

// Bombs are refused before a decoder allocates for them, and formats whose cost no header states
// reach no decoder: Qt's plugins would rasterise the SVG and decode the icon, and no limit of ours
// bounds them.
TEST(ImageDecoding, UndecodableBytesBombsAndOtherFormatsGiveNothing)
{
    const std::pair<const char*, QByteArray> cases[] = {
        {"empty", QByteArray()},
        {"cut PNG", encodedBitmap(solidBitmap({8, 8}, Qt::red), "png").left(20)},
        {"a PNG header claiming gigabytes", pngClaiming(60000, 60000)},
        {"a text chunk claiming 2 GiB in 56 bytes", hostileFixture("png-text-claims-2gib.png")},
        {"a text chunk of 5 MiB", pngWithTextChunk(5 * 1024 * 1024)},
        // libjpeg holds a progressive image's coefficients at full size, however small the output.
        {"a progressive JPEG needing 430 MB", progressiveJpegClaiming(12000, 12000)},
        {"SVG", hostileFixture("svg-square.svg")},
        {"ICNS", hostileFixture("icns-rle-icon.icns")},
    };
    for (const auto& [name, data] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(imageFromData(data, {}), nullptr);
        EXPECT_EQ(stillImage(data), nullptr);
        EXPECT_EQ(downsampledImage(data, {100, 100}, 1.0), nullptr);
    }
    const QByteArray text = pngWithTextChunk(1024 * 1024);
    EXPECT_TRUE(stillImage(text) && downsampledImage(text, {1, 1}, 1.0));
}

TEST(ImageDecoding, OtherRasterFormatsDecodeWithinTheSizeTheirHeadersDeclare)
{
    for (const char* format : {"webp", "bmp", "tiff", "ico"}) {
        SCOPED_TRACE(format);
        const QByteArray data = encodedBitmap(splitBitmap({40, 24}, Qt::red, Qt::blue), format, 100);
        const ImagePtr image = imageFromData(data, {});
        ASSERT_TRUE(image);
        EXPECT_EQ(image->pixelSize(), QSize(40, 24));
        const QRgb right = image->bitmap().pixel(35, 12);
        EXPECT_TRUE(qBlue(right) > 200 && qRed(right) < 50);
        EXPECT_EQ(downsampledImage(data, {10, 10}, 1.0)->pixelSize(), QSize(10, 6));
    }

    // Qt would decode these, but their declared sides are beyond the library's bitmaps.
    QByteArray claimingBmp = encodedBitmap(solidBitmap({1, 1}, Qt::red), "bmp");
    qToLittleEndian<std::int32_t>(60000, claimingBmp.data() + 18);
    qToLittleEndian<std::int32_t>(60000, claimingBmp.data() + 22);
    for (const QByteArray& data : {encodedBitmap(solidBitmap({40000, 1}, Qt::red), "bmp"),
                                   encodedBitmap(solidBitmap({40000, 1}, Qt::red), "tiff"), claimingBmp}) {
        EXPECT_EQ(stillImage(data), nullptr);
        EXPECT_EQ(downsampledImage(data, {10, 10}, 1.0), nullptr);
    }
    EXPECT_FALSE(QImage::fromData(encodedBitmap(solidBitmap({40000, 1}, Qt::red), "bmp")).isNull());
}

TEST(ImageDecoding, ThumbnailsAreBoundedAndNeverEnlarged)
{
    const QImage split = splitBitmap({400, 240}, Qt::red, Qt::blue);
    EXPECT_EQ(downsampledImage(encodedBitmap(split, "jpeg", 90), {100, 60}, 2.0)->pixelSize(), QSize(200, 120));
    const QByteArray progressive = encodedBitmap(split, "jpeg", 90, true);
    EXPECT_EQ(downsampledImage(progressive, {1000, 10}, 1.0)->pixelSize(), QSize(400, 240));
    EXPECT_EQ(downsampledImage(encodedBitmap(split, "png"), {30, 30}, 1.0)->pixelSize(), QSize(30, 18));
    EXPECT_EQ(downsampledImage(progressive, {10, 10}, std::numeric_limits<double>::infinity()), nullptr);
}

TEST(BitmapContext, RefusesUnusableSizes)
{
    EXPECT_EQ(makeBitmapContext({3.9, 2.2}).size(), QSize(3, 2));
    const double inf = std::numeric_limits<double>::infinity();
    for (QSizeF size : {QSizeF(0, 10), QSizeF(0.5, 10), QSizeF(inf, 10), QSizeF(std::nan(""), 1), QSizeF(1e12, 1e12),
                        QSizeF(40000, 1), QSizeF(20000, 20000)})
        EXPECT_TRUE(makeBitmapContext(size).isNull()) << size.width() << " x " << size.height();
}
