#include "Lumen/foundation/progressive/ProgressiveScanWalker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <limits>

namespace Lumen {
namespace {

// A JPEG-looking buffer of `size` bytes: start of image, a progressive (or baseline) frame
// header, then start-of-scan markers exactly at `markers` and zeros elsewhere.
QByteArray craftedJpeg(qsizetype size, std::initializer_list<qsizetype> markers, bool progressive = true)
{
    QByteArray data(size, '\0');
    data.replace(0, 4, QByteArray::fromHex("FFD8FFE0"));
    data.replace(20, 2, QByteArray::fromHex(progressive ? "FFC2" : "FFC0"));
    for (qsizetype position : markers)
        data.replace(position, 2, QByteArray::fromHex("FFDA"));
    return data;
}

QByteArray pngLooking()
{
    return craftedJpeg(5000, {600, 4000}).replace(0, 8, QByteArray::fromHex("89504E470D0A1A0A"));
}

// Each walk runs over the first `firstLength` bytes, then again over all the bytes from the
// progress the first walk reached.
TEST(ProgressiveScanWalker, FindsCompletedScansAcrossChunks)
{
    using Walker = ScanWalk (*)(const QByteArray&, ScanProgress);
    using Prefixes = std::vector<qsizetype>;
    const struct { const char* name; Walker walk; QByteArray data; qsizetype firstLength; Prefixes first; Prefixes then;
        int scannedAfter; } cases[] = {
        // The prefix ends at the last new marker; the same bytes again hold no new scan.
        {"latest", latestScanPrefix, craftedJpeg(5000, {600, 4000}), 5000, {4000}, {}, 2},
        // Two scans completed since: only the newest is decoded.
        {"only the newest", latestScanPrefix, craftedJpeg(10000, {600, 4000, 7000, 9000}), 5000, {4000}, {9000}, 4},
        // The first chunk ends between FF and DA.
        {"split marker", latestScanPrefix, craftedJpeg(6000, {600, 4000}), 4001, {}, {4000}, 2},
        {"baseline", latestScanPrefix, craftedJpeg(5000, {600, 4000}, false), 5000, {}, {}, 0},
        {"png", latestScanPrefix, pngLooking(), 5000, {}, {}, 0},
        {"png, every scan", newScanPrefixes, pngLooking(), 5000, {}, {}, 0},
        {"every scan, oldest first", newScanPrefixes, craftedJpeg(10000, {600, 4000, 9000}), 10000, {4000, 9000}, {}, 3},
        {"every scan continues", newScanPrefixes, craftedJpeg(10000, {600, 4000, 7000, 9000}), 1000, {},
         {4000, 7000, 9000}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ScanWalk first = c.walk(c.data.left(c.firstLength), {});
        EXPECT_EQ(first.prefixLengths, c.first);
        const ScanWalk then = c.walk(c.data, first.progress);
        EXPECT_EQ(then.prefixLengths, c.then);
        EXPECT_EQ(then.progress.scannedCount, c.scannedAfter);
    }
}

// Many scans arriving at once cost a bounded number of decodes, reaching up to the newest scan.
TEST(ProgressiveScanWalker, EveryScanModeSpreadsALimitedNumberOfPrefixes)
{
    QByteArray data = craftedJpeg(100000, {});
    std::vector<qsizetype> markers;
    for (qsizetype position = 600; position < 90000; position += 150) {
        data.replace(position, 2, QByteArray::fromHex("FFDA"));
        markers.push_back(position);
    }
    const std::vector<qsizetype> lengths = newScanPrefixes(data, {}).prefixLengths;
    ASSERT_EQ(lengths.size(), maxPrefixesPerWalk);
    EXPECT_EQ(lengths.back(), markers.back());
    // Spread out, not bunched at either end.
    EXPECT_LT(lengths.front(), markers[markers.size() / 5]);
}

TEST(ProgressiveScanWalker, AResumedNegativeIndexStartsAtTheFirstByte)
{
    const QByteArray data = craftedJpeg(5000, {600, 4000});
    const ScanWalk fresh = latestScanPrefix(data, {});
    for (const qsizetype index : {qsizetype(-2), std::numeric_limits<qsizetype>::min()}) {
        SCOPED_TRACE(index);
        const ScanWalk resumed = latestScanPrefix(data, ScanProgress{0, index});
        EXPECT_EQ(resumed.prefixLengths, fresh.prefixLengths);
        EXPECT_EQ(resumed.progress, fresh.progress);
    }
}

} // namespace
} // namespace Lumen
