#include "Lumen/foundation/imaging/BoundedDecoding.h"
#include "Lumen/foundation/imaging/ICODirectory.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
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

QByteArray riffChunk(const char* type, const QByteArray& payload)
{
    QByteArray size(4, '\0');
    qToLittleEndian<quint32>(quint32(payload.size()), size.data());
    return QByteArray(type, 4) + size + payload + (payload.size() % 2 ? QByteArray(1, '\0') : QByteArray());
}

QByteArray uint24(quint32 value)
{
    return QByteArray(1, char(value)) + char(value >> 8) + char(value >> 16);
}

// The header of a lossless bitstream stating `size`; the pixels never matter below.
QByteArray losslessHeader(QSize size)
{
    QByteArray header(5, '\0');
    header[0] = 0x2F;
    qToLittleEndian<quint32>(quint32(size.width() - 1) | quint32(size.height() - 1) << 14, header.data() + 1);
    return header;
}

QByteArray animatedWebP(QSize canvas, const QList<QRect>& frames)
{
    QByteArray body = riffChunk("VP8X", QByteArray(1, 0x02) + QByteArray(3, '\0') + uint24(canvas.width() - 1)
                                             + uint24(canvas.height() - 1));
    for (const QRect& frame : frames)
        body += riffChunk("ANMF", uint24(frame.x() / 2) + uint24(frame.y() / 2) + uint24(frame.width() - 1)
                                      + uint24(frame.height() - 1) + uint24(10) + '\0'
                                      + riffChunk("VP8L", losslessHeader(frame.size())));
    QByteArray size(4, '\0');
    qToLittleEndian<quint32>(quint32(body.size() + 4), size.data());
    return "RIFF" + size + "WEBP" + body;
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
    EXPECT_EQ(boundedDecoding(large)->peakBytes, 300 * 200 * 4);
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
