#include "Lumen/download/SessionDataTask.h"
#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/foundation/MainDispatchQueue.h"
#include "Lumen/foundation/imaging/ImageBlur.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/ImageEncoding.h"
#include "Lumen/foundation/processors/ResizingImageProcessor.h"
#include "Lumen/foundation/progressive/ImageProgressive.h"
#include "Lumen/foundation/progressive/ImageProgressiveDecoder.h"
#include "Lumen/foundation/progressive/ImageProgressiveProvider.h"
#include "Lumen/foundation/progressive/ProgressiveScanWalker.h"
#include "tests/lumen/imaging/TestImages.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <initializer_list>
#include <limits>
#include <vector>

namespace Lumen {
namespace {

using namespace Tivrand::Testing;
using namespace std::chrono_literals;

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
    for (const qsizetype index : {qsizetype(-2), std::numeric_limits<qsizetype>::min()})
        EXPECT_EQ(latestScanPrefix(data, ScanProgress{0, index}).progress, fresh.progress) << index;
}

// Detailed, so every progressive scan changes the decoded pixels.
const QImage picture = detailedBitmap({96, 64});

std::vector<qsizetype> startOfScanPositions(const QByteArray& data)
{
    std::vector<qsizetype> positions;
    for (qsizetype i = data.indexOf("\xFF\xDA"); i >= 0; i = data.indexOf("\xFF\xDA", i + 1))
        positions.push_back(i);
    return positions;
}

LumenParsedOptionsInfo progressiveOptions(bool isBlur, bool isFastestScan)
{
    return LumenParsedOptionsInfo(
        LumenOptionsInfo{Option::ProgressiveJPEG{std::make_shared<const ImageProgressive>(isBlur, isFastestScan, 0.0)}});
}

// A download that delivers a progressive JPEG chunk by chunk into a provider, recording what
// the provider refreshes with. The retrieval waits on the transfer with its own options.
class ProgressiveDownload {
public:
    explicit ProgressiveDownload(const LumenParsedOptionsInfo& options)
        : data(encodedBitmap(picture, "jpeg", 90, true))
        , markers(startOfScanPositions(data))
        , provider(ImageProgressiveProvider::make(options, [this](const ImagePtr& image) {
            onMainThread = onMainThread && MainDispatchQueue::isMainThread();
            images.push_back(image);
        }))
    {
        task->addCallback(SessionDataTask::TaskCallback{nullptr, options});
    }

    void receive(qsizetype from, qsizetype to)
    {
        const QByteArray chunk = data.mid(from, to - from);
        task->didReceiveData(chunk);
        provider->onDataReceived(task, chunk);
    }
    // The bytes before the given start-of-scan marker, decoded.
    QImage decodedUpTo(std::size_t marker) const { return stillImage(data.left(markers[marker]))->bitmap(); }

    const QByteArray data;
    const std::vector<qsizetype> markers;
    const std::shared_ptr<SessionDataTask> task = std::make_shared<SessionDataTask>();
    std::vector<ImagePtr> images;
    bool onMainThread = true;
    std::shared_ptr<ImageProgressiveProvider> provider;
};

// Each update decodes the scans before the newest marker that has arrived.
TEST(ImageProgressiveProvider, FastestScanModeDecodesOnlyTheLatestScans)
{
    ProgressiveDownload download(progressiveOptions(false, true));
    const qsizetype third = download.markers[2] + 2;
    download.receive(0, 1);
    download.receive(1, third);
    ASSERT_TRUE(waitUntil([&] { return download.images.size() == 1; }));
    download.receive(third, download.data.size());
    ASSERT_TRUE(waitUntil([&] { return download.images.size() == 2; }));
    EXPECT_EQ(download.images[1]->bitmap(), download.decodedUpTo(download.markers.size() - 1));
    EXPECT_TRUE(download.onMainThread);
}

// Every prefix of one update is blurred by the scans known once that update has walked the
// bytes, not by the scans inside the prefix itself.
TEST(ImageProgressiveProvider, EveryScanModeDecodesEachNewScanBlurredByTheScansKnownAfterTheUpdate)
{
    ProgressiveDownload download(progressiveOptions(true, false));
    const auto preview = [&](std::size_t marker, int scanCount) {
        const ImagePtr blurredPrefix = blurred(stillImage(download.data.left(download.markers[marker])),
                                               ImageProgressiveDecoder::previewBlurRadius(scanCount));
        return stillImage(jpegRepresentation(blurredPrefix, 1.0).value())->bitmap();
    };
    // Three scans known: both prefixes get the radius of three scans.
    const qsizetype firstChunk = download.markers[2] + 2;
    download.receive(0, firstChunk);
    ASSERT_TRUE(waitUntil([&] { return download.images.size() == 2; }));
    EXPECT_EQ(download.images[0]->bitmap(), preview(1, 3));
    // All scans known, more than are blurred: none of the rest is.
    download.receive(firstChunk, download.data.size());
    const std::size_t total = download.markers.size() - 1;
    ASSERT_TRUE(waitUntil([&] { return download.images.size() == total; }));
    EXPECT_EQ(download.images.back()->bitmap(), download.decodedUpTo(total));
}

TEST(ImageProgressiveProvider, ImagesGoThroughTheProcessorUntilTheRetrievalIsNoLongerCurrent)
{
    auto options = progressiveOptions(false, true);
    options.processor = std::make_shared<ResizingImageProcessor>(QSizeF(48, 32));
    ProgressiveDownload download(options);
    const qsizetype half = download.markers[download.markers.size() / 2] + 2;
    download.receive(0, half);
    ASSERT_TRUE(waitUntil([&] { return download.images.size() == 1; }));
    EXPECT_EQ(download.images.front()->pixelSize(), QSize(48, 32));

    download.provider->setOnShouldApply([] { return false; });
    download.receive(half, download.data.size());
    pumpEvents(200ms);
    EXPECT_EQ(download.images.size(), 1u);
}

// A prefix goes through the processing of every caller waiting on the transfer, as the
// transfer's data will.
TEST(ImageProgressiveProvider, EachPrefixIsProcessedForEveryCallerOfTheTransfer)
{
    ProgressiveDownload download(progressiveOptions(false, true));
    auto resizing = progressiveOptions(false, true);
    resizing.processor = std::make_shared<ResizingImageProcessor>(QSizeF(48, 32));
    download.task->addCallback(SessionDataTask::TaskCallback{nullptr, resizing});
    download.receive(0, download.data.size());
    ASSERT_TRUE(waitUntil([&] { return download.images.size() == 2; }));
    EXPECT_EQ(download.images[0]->pixelSize(), picture.size());
    EXPECT_EQ(download.images[1]->pixelSize(), QSize(48, 32));
}

TEST(ImageProgressiveProvider, OtherFormatsGiveNoIntermediateImage)
{
    EXPECT_EQ(ImageProgressiveProvider::make(LumenParsedOptionsInfo(), [](const ImagePtr&) {}), nullptr);
    ProgressiveDownload download(progressiveOptions(true, true));
    const QByteArray png = encodedBitmap(picture, "png");
    const auto task = std::make_shared<SessionDataTask>();
    task->didReceiveData(png);
    download.provider->onDataReceived(task, png);
    pumpEvents(200ms);
    EXPECT_TRUE(download.images.empty());
    // The updates finished, so a progressive download through the same provider still shows.
    download.receive(0, download.data.size());
    EXPECT_TRUE(waitUntil([&] { return download.images.size() == 1; }));
}

TEST(ImageProgressiveProvider, ReleasingItMidDownloadStopsQuietly)
{
    ProgressiveDownload download(progressiveOptions(true, false));
    download.receive(0, download.data.size());
    QCoreApplication::processEvents();
    download.provider.reset();
    const std::size_t shown = download.images.size();
    pumpEvents(200ms);
    EXPECT_EQ(download.images.size(), shown);
}

} // namespace
} // namespace Lumen
