#include "Lumen/foundation/progressive/ProgressiveScanWalker.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace Lumen {
namespace {

// A JPEG-looking buffer of `size` bytes: start of image, a progressive frame header, then
// start-of-scan markers exactly at `markers` and zeros elsewhere.
QByteArray craftedJpeg(qsizetype size, std::initializer_list<qsizetype> markers, bool progressive = true)
{
    QByteArray data(size, '\0');
    data[0] = '\xFF';
    data[1] = '\xD8';
    data[2] = '\xFF';
    data[3] = '\xE0';
    data[20] = '\xFF';
    data[21] = progressive ? '\xC2' : '\xC0';
    for (qsizetype position : markers) {
        data[position] = '\xFF';
        data[position + 1] = '\xDA';
    }
    return data;
}

std::vector<ScanPrefix> prefixes(std::initializer_list<ScanPrefix> list)
{
    return std::vector<ScanPrefix>(list);
}

TEST(LatestScanPrefix, EndsAtTheLastNewMarker)
{
    const QByteArray data = craftedJpeg(5000, {600, 4000});
    const ScanWalk first = latestScanPrefix(data, {});
    EXPECT_EQ(first.prefixes, prefixes({{4000, 2}}));
    EXPECT_EQ(first.progress, (ScanProgress{2, 4998}));

    // The same bytes again hold no new scan.
    EXPECT_TRUE(latestScanPrefix(data, first.progress).prefixes.empty());
}

TEST(LatestScanPrefix, NeedsTwoMarkersBeforeAnythingIsComplete)
{
    const ScanWalk walk = latestScanPrefix(craftedJpeg(5000, {600}), {});
    EXPECT_TRUE(walk.prefixes.empty());
    EXPECT_EQ(walk.progress.scannedCount, 1);
}

TEST(LatestScanPrefix, WalksOnlyTheBytesThatArrivedSince)
{
    const QByteArray whole = craftedJpeg(10000, {600, 4000, 7000, 9000});
    const ScanWalk early = latestScanPrefix(whole.left(5000), {});
    EXPECT_EQ(early.prefixes, prefixes({{4000, 2}}));

    // Two scans completed since: only the newest is decoded.
    const ScanWalk later = latestScanPrefix(whole, early.progress);
    EXPECT_EQ(later.prefixes, prefixes({{9000, 4}}));
    EXPECT_EQ(later.progress.scannedCount, 4);
}

TEST(LatestScanPrefix, FindsAMarkerSplitAcrossChunks)
{
    const QByteArray whole = craftedJpeg(6000, {600, 4000});
    // The first chunk ends between FF and DA.
    const ScanWalk first = latestScanPrefix(whole.left(4001), {});
    EXPECT_TRUE(first.prefixes.empty());
    EXPECT_EQ(latestScanPrefix(whole, first.progress).prefixes, prefixes({{4000, 2}}));
}

TEST(LatestScanPrefix, IgnoresDataThatIsNotProgressiveJpeg)
{
    const QByteArray baseline = craftedJpeg(5000, {600, 4000}, false);
    const ScanWalk walk = latestScanPrefix(baseline, {});
    EXPECT_TRUE(walk.prefixes.empty());
    EXPECT_EQ(walk.progress, ScanProgress{});

    QByteArray png = craftedJpeg(5000, {600, 4000});
    png.replace(0, 8, QByteArray::fromHex("89504E470D0A1A0A"));
    EXPECT_TRUE(latestScanPrefix(png, {}).prefixes.empty());
    EXPECT_TRUE(newScanPrefixes(png, {}).prefixes.empty());
    EXPECT_TRUE(latestScanPrefix(QByteArray(), {}).prefixes.empty());
}

TEST(NewScanPrefixes, ListsEveryCompletedScanOldestFirst)
{
    const QByteArray data = craftedJpeg(10000, {600, 4000, 9000});
    const ScanWalk walk = newScanPrefixes(data, {});
    EXPECT_EQ(walk.prefixes, prefixes({{4000, 2}, {9000, 3}}));
    EXPECT_EQ(walk.progress.scannedCount, 3);
    EXPECT_TRUE(newScanPrefixes(data, walk.progress).prefixes.empty());
}

TEST(NewScanPrefixes, ContinuesFromEarlierWalks)
{
    const QByteArray whole = craftedJpeg(10000, {600, 4000, 7000, 9000});
    const ScanWalk early = newScanPrefixes(whole.left(1000), {});
    EXPECT_TRUE(early.prefixes.empty());
    EXPECT_EQ(newScanPrefixes(whole, early.progress).prefixes, prefixes({{4000, 2}, {7000, 3}, {9000, 4}}));
}

} // namespace
} // namespace Lumen
