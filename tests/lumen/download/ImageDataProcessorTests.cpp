#include "tests/lumen/download/DownloadTesting.h"

#include "Lumen/download/ImageDataProcessor.h"

namespace Lumen::Testing {
namespace {

// Runs the processor on the calling thread and answers each caller's result in order.
std::vector<ImageDataProcessor::Result> processNow(const QByteArray& data,
                                                    const std::vector<LumenParsedOptionsInfo>& callers)
{
    std::vector<SessionDataTask::TaskCallback> callbacks;
    for (const auto& options : callers)
        callbacks.push_back({nullptr, options});
    const auto processor = ImageDataProcessor::make(data, callbacks, CallbackQueue::untouch());
    std::vector<ImageDataProcessor::Result> results;
    processor->onImageProcessed().setBlock([&](const auto& processed) { results.push_back(processed.result); });
    processor->process();
    return results;
}

TEST(ImageDataProcessor, CallersShareAnImageOnlyWhenTheirDecodingAgrees)
{
    const auto a = std::make_shared<CountingProcessor>(QStringLiteral("A"));
    const auto b = std::make_shared<CountingProcessor>(QStringLiteral("B"));
    auto doubled = optionsWith(a);
    doubled.scaleFactor = 2;
    auto firstFrame = optionsWith(a);
    firstFrame.onlyLoadFirstFrame = true;
    auto decoded = optionsWith(a);
    decoded.backgroundDecode = true;
    const auto results =
        processNow(pngBytes(), {optionsWith(a), optionsWith(b), optionsWith(a), doubled, firstFrame, decoded});
    ASSERT_EQ(results.size(), 6u);
    EXPECT_EQ(a->runs, 3);
    EXPECT_EQ(b->runs, 1);
    EXPECT_EQ(results[0]->get(), results[2]->get());
    for (std::size_t other : {1, 3, 4, 5})
        EXPECT_NE(results[0]->get(), results[other]->get()) << other;
    EXPECT_EQ(results[5].value()->bitmap().pixelColor(0, 0), QColor(Qt::red));
}

TEST(ImageDataProcessor, AFailedProcessorRunsAgainForTheNextCallerAndEachFails)
{
    const auto a = std::make_shared<CountingProcessor>(QStringLiteral("A"));
    const auto results = processNow(QByteArray("not an image"), {optionsWith(a), optionsWith(a)});
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(a->runs, 2);
    for (const auto& result : results)
        EXPECT_EQ(result.error().errorCode(), 4001);
    EXPECT_TRUE(processNow(pngBytes(), {}).empty());
}

} // namespace
} // namespace Lumen::Testing
