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
#include "tests/lumen/imaging/TestImages.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <vector>

namespace Lumen {
namespace {

using namespace Tivrand::Testing;
using namespace std::chrono_literals;

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
// the provider refreshes with.
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
