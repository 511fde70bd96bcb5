#include "Lumen/foundation/imaging/BoundedDecoding.h"
#include "Lumen/foundation/imaging/ICODirectory.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "tests/lumen/imaging/CraftedWebP.h"
#include "tests/lumen/imaging/HeapPeak.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include <optional>
#include <utility>

using namespace Lumen;
using namespace Tivrand::Testing;

namespace {

// An icon file of one image (PNG or bitmap bytes) whose directory entry states `stated`
// (a side of 0 standing for 256 or more).
QByteArray icoHolding(const QByteArray& image, QSize stated)
{
    QByteArray entry(16, '\0');
    entry[0] = char(stated.width());
    entry[1] = char(stated.height());
    qToLittleEndian<quint16>(1, entry.data() + 4);
    qToLittleEndian<quint16>(32, entry.data() + 6);
    qToLittleEndian<quint32>(quint32(image.size()), entry.data() + 8);
    qToLittleEndian<quint32>(22, entry.data() + 12);
    return QByteArray::fromHex("000001000100") + entry + image;
}

QByteArray pngSignature()
{
    return QByteArray::fromHex("89504E470D0A1A0A");
}

// A real 8-bit grey PNG of `size`, all black: its deflated rows stay small.
QByteArray blackGreyPng(QSize size)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(size.width()), header.data());
    qToBigEndian<quint32>(quint32(size.height()), header.data() + 4);
    header[8] = 8;
    const QByteArray rows(qsizetype(size.width() + 1) * size.height(), '\0');
    return pngSignature() + pngChunk("IHDR", header) + pngChunk("IDAT", qCompress(rows, 1).mid(4))
           + pngChunk("IEND", {});
}

// Little-endian TIFF whose pages hold the given (tag, value) entries as LONG values; no
// pixel data, as the cases below are refused before any decoder reads it.
QByteArray tiffPages(const QList<QList<std::pair<quint16, quint32>>>& pages)
{
    QByteArray tiff = QByteArray::fromHex("49492A0008000000");
    for (qsizetype index = 0; index < pages.size(); ++index) {
        const auto& entries = pages[index];
        QByteArray directory(2 + 12 * entries.size() + 4, '\0');
        qToLittleEndian<quint16>(quint16(entries.size()), directory.data());
        for (qsizetype entry = 0; entry < entries.size(); ++entry) {
            char* at = directory.data() + 2 + 12 * entry;
            qToLittleEndian<quint16>(entries[entry].first, at);
            qToLittleEndian<quint16>(4, at + 2);
            qToLittleEndian<quint32>(1, at + 4);
            qToLittleEndian<quint32>(entries[entry].second, at + 8);
        }
        const bool last = index + 1 == pages.size();
        qToLittleEndian<quint32>(last ? 0 : quint32(tiff.size() + directory.size()), directory.data() + directory.size() - 4);
        tiff += directory;
    }
    return tiff;
}

QList<std::pair<quint16, quint32>> greyPage(quint32 width, quint32 height)
{
    return {{256, width}, {257, height}, {258, 8}, {262, 1}, {277, 1}};
}

// The lossless bitstream of a still Qt wrote with the lossless encoder.
QByteArray encodedLosslessBitstream(const QImage& image)
{
    const QByteArray still = encodedBitmap(image, "webp", 100);
    EXPECT_EQ(still.mid(12, 4), "VP8L");
    return still.mid(20, qFromLittleEndian<quint32>(still.constData() + 16));
}

void expectNoImage(const QByteArray& data)
{
    EXPECT_EQ(imageFromData(data, {}), nullptr);
    EXPECT_EQ(stillImage(data), nullptr);
    EXPECT_EQ(downsampledImage(data, {64, 64}, 1.0), nullptr);
}

} // namespace

// Qt decodes the PNG inside an icon with a PNG reader of its own, which the checks of bare
// PNG data never saw, and the directory's size is not the PNG's.
TEST(BoundedDecoding, IconsAreCheckedByTheImagesTheyHold)
{
    // 78 bytes: the directory, then a PNG header and a chunk that claims 2 GiB.
    QByteArray claims2GiB = pngSignature() + pngChunk("IHDR", QByteArray::fromHex("00000010000000100806000000"));
    claims2GiB += QByteArray::fromHex("7FFFFFF0") + "tEXt" + "Comment" + '\0' + "hostile";
    const QByteArray tinyBomb = icoHolding(claims2GiB, {16, 16});
    ASSERT_EQ(tinyBomb.size(), 78);
    const struct { const char* name; QByteArray data; ICOError error; } cases[] = {
        {"a PNG claiming 2 GiB in 78 bytes", tinyBomb, ICOError::brokenImage},
        {"16 x 16 that is 6000 x 4000", icoHolding(blackGreyPng({6000, 4000}), {16, 16}), ICOError::largerThanStated},
        {"an image beyond the data", icoHolding(blackGreyPng({8, 8}), {8, 8}).chopped(1), ICOError::malformed},
    };
    for (const auto& [name, data, error] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(walkICODirectory(data).error(), error);
        EXPECT_EQ(boundedDecoding(data).error(), DecodingRefusal::malformed);
        expectNoImage(data);
    }

    // An entry stating 0 holds 256 pixels or more: the PNG's own size is what decodes.
    const QByteArray large = icoHolding(encodedBitmap(splitBitmap({300, 200}, Qt::red, Qt::blue), "png"), {0, 0});
    EXPECT_EQ(boundedDecoding(large)->size, QSize(300, 200));
    EXPECT_EQ(imageFromData(large, {})->pixelSize(), QSize(300, 200));
    EXPECT_EQ(downsampledImage(large, {30, 30}, 1.0)->pixelSize(), QSize(30, 20));
}

// Every page and every frame counts, not only the first one's declared size.
TEST(BoundedDecoding, EveryPageAndFrameIsAccounted)
{
    const QRect small(0, 0, 16, 16);
    const struct { const char* name; QByteArray data; std::optional<DecodingRefusal> refusal; } cases[] = {
        {"a small TIFF page", tiffPages({greyPage(16, 16)}), std::nullopt},
        {"tiles of 256 MiB on a 16 x 16 page", tiffPages({greyPage(16, 16) + QList<std::pair<quint16, quint32>>{{322, 16384}, {323, 16384}}}),
         DecodingRefusal::beyondBudget},
        {"a second page beyond the bitmap limits", tiffPages({greyPage(16, 16), greyPage(40000, 1)}), DecodingRefusal::beyondBudget},
        {"pages that loop back", [] { QByteArray loop = tiffPages({greyPage(16, 16), greyPage(8, 8)});
                                      qToLittleEndian<quint32>(8, loop.data() + loop.size() - 4);
                                      return loop; }(), std::nullopt},
        {"an animation with a small first frame", animatedWebP({5000, 5000}, {small}), std::nullopt},
        // Canvas, frame and the lossless decoder's buffer: 300 MB.
        {"a later frame beyond the budget", animatedWebP({5000, 5000}, {small, {0, 0, 5000, 5000}}), DecodingRefusal::beyondBudget},
        {"a frame outside the canvas", animatedWebP({64, 64}, {small, {60, 0, 16, 16}}), DecodingRefusal::malformed},
        {"a canvas beyond the bitmap limits", animatedWebP({40000, 16}, {small}), DecodingRefusal::beyondBudget},
    };
    for (const auto& [name, data, refusal] : cases) {
        const auto decoding = boundedDecoding(data);
        EXPECT_EQ(decoding ? std::nullopt : std::optional(decoding.error()), refusal) << name;
        if (refusal)
            expectNoImage(data);
    }
}

// Decoding holds no more than was accounted for the data before any decoder saw it (counted
// on the heap, every thread's allocations included), and data that would hold more than the
// budget is refused.
TEST(BoundedDecoding, DecodingHoldsNoMoreThanItsAccountedPeak)
{
    const auto frame = [](QSize size, int precisionBits, QPoint at = {}) {
        return std::pair(at, losslessWithGroupPerBlock(size, precisionBits));
    };
    const QByteArray manyGroups = riffWebP(riffChunk("VP8L", losslessWithGroupPerBlock({1024, 1024}, 2)));
    ASSERT_LT(manyGroups.size(), 300 * 1000);
    QImage fourColours = splitBitmap({300, 200}, Qt::red, Qt::blue);
    fourColours.fill(Qt::green);
    fourColours.setPixelColor(10, 10, Qt::black);
    const QImage deep = detailedBitmap({300, 200}).convertToFormat(QImage::Format_RGBA64);
    const QList<std::pair<QPoint, QByteArray>> costlyFrames(8000, {QPoint(), losslessOfLargestAlphabets({16, 16})});
    const struct { const char* name; QByteArray data; bool refused; } cases[] = {
        // The decoder makes a table of codes for each of the 65,536 groups: 800 MB for 300 kB.
        {"a group of codes for every block of 4 x 4", manyGroups, true},
        {"the same as the frame of an animation", animatedWebP({16384, 2048}, {frame({1024, 1024}, 2)}), true},
        // The reader holds the canvas twice once a frame is drawn on it.
        {"one pixel on a canvas of 128 MiB", animatedWebP({16384, 2048}, {frame({1, 1}, 2)}), true},
        // Each frame's codes cost a reader time in their alphabets, however few bits they take.
        {"frames of codes over the largest alphabets", animatedWebP({16, 16}, costlyFrames), true},
        {"a group of codes for every block of 8 x 8", riffWebP(riffChunk("VP8L", losslessWithGroupPerBlock({512, 512}, 3))), false},
        {"one pixel on a canvas of 32 MiB", animatedWebP({4096, 2048}, {frame({1, 1}, 2)}), false},
        {"an animation of encoded frames", animatedWebP({300, 200}, {{QPoint(), encodedLosslessBitstream(detailedBitmap({300, 200}))},
                                                                     {QPoint(100, 50), encodedLosslessBitstream(detailedBitmap({64, 48}, true))}}), false},
        // A read shows the first frame; the decoder would refuse the second, repeating a transform.
        {"an animation whose second frame is broken", animatedWebP({300, 200}, {frame({300, 200}, 4),
                                                                              {QPoint(), losslessHeader({64, 64}) + char(0x2D)}}), false},
        // A reader drops alpha that the header does not announce, however broken.
        {"a still with unannounced alpha", riffWebP(riffChunk("VP8X", QByteArray(4, '\0') + uint24(299) + uint24(199))
                                                    + riffChunk("ALPH", QByteArray(1, char(0xC1)))
                                                    + encodedBitmap(detailedBitmap({300, 200}), "webp", 75).sliced(12)), false},
        {"lossless", encodedBitmap(detailedBitmap({300, 200}, true), "webp", 100), false},
        {"lossless of a palette", encodedBitmap(fourColours, "webp", 100), false},
        {"lossy with alpha", encodedBitmap(detailedBitmap({300, 200}, true), "webp", 75), false},
        {"PNG of 16-bit samples", encodedBitmap(deep, "png"), false},
        {"the same in an icon", icoHolding(encodedBitmap(deep, "png"), {0, 0}), false},
    };
    for (const auto& [name, data, refused] : cases) {
        SCOPED_TRACE(name);
        const auto decoding = boundedDecoding(data);
        if (refused) {
            EXPECT_EQ(decoding.error(), DecodingRefusal::beyondBudget);
            expectNoImage(data);
            continue;
        }
        ASSERT_TRUE(decoding);
        ImagePtr image;
        const std::int64_t held = HeapPeak::peakOf([&] { image = imageFromData(data, {}); });
        EXPECT_TRUE(image && image->hasBitmap());
        EXPECT_LE(held, decoding->peakBytes);
    }
}
