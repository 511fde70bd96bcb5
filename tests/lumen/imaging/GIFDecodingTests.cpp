#include "Lumen/foundation/imaging/AnimatedImageDecoding.h"
#include "Lumen/foundation/imaging/GIFAnimatedImage.h"
#include "Lumen/foundation/imaging/GIFBlockWalker.h"
#include "Lumen/foundation/imaging/GIFFrameSource.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "tests/lumen/imaging/TestImages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <malloc.h>
#include <cmath>
#include <numeric>
#include <thread>
#include <vector>

using namespace Lumen;
using namespace Tivrand::Testing;

namespace {

// Throws, failing the test, where the data makes no frame source.
std::shared_ptr<GIFFrameSource> sourceOf(const QByteArray& data)
{
    return GIFFrameSource::make(data).value();
}

QRgb centre(const QImage& image)
{
    return image.pixel(image.width() / 2, image.height() / 2) | 0xFF000000u;
}

const ImageCreatingOptions firstFrameOnly{.onlyFirstFrame = true};

} // namespace

TEST(GIFBlockWalker, CanvasIsWhatQtDecodes)
{
    const struct { const char* name; QSize screen; QList<QRect> frames; QSize canvas; } cases[] = {
        {"a frame beyond the screen is clipped", {8, 6}, {{0, 0, 8, 6}, {6, 5, 4, 4}}, {8, 6}},
        {"a frame far beyond a small screen", {4, 4}, {{0, 0, 4, 4}, {60000, 0, 2, 2}}, {4, 4}},
        {"a zero width is the first frame's", {0, 4}, {{0, 0, 5, 5}}, {5, 4}},
        {"a zero screen reaches the first frame's far corner", {0, 0}, {{5, 6, 2, 3}}, {7, 9}},
        {"later frames do not count", {0, 0}, {{0, 0, 2, 3}, {0, 0, 7, 9}}, {2, 3}},
    };
    for (const auto& [name, screen, rects, canvas] : cases) {
        SCOPED_TRACE(name);
        QList<GifFrame> frames;
        for (const QRect& rect : rects)
            frames.append(GifFrame{solidBitmap(rect.size(), frameColor(int(frames.size()))), 10, rect.topLeft()});
        const QByteArray gif = writeGif(screen, frames);
        EXPECT_EQ(walkGIFBlocks(gif)->canvasSize, canvas);
        // The frame source composes every frame onto that canvas.
        EXPECT_EQ(sourceOf(gif)->frame(0).size(), canvas);
    }
}

TEST(GIFBlockWalker, TinyGIFsThatQtDecodesAreNotRefused)
{
    // Empty graphic control and application blocks are each followed by a terminator, as Qt reads them.
    QByteArray emptyBlocks = solidGif({4, 4}, 2);
    emptyBlocks.replace(emptyBlocks.indexOf("\x21\xF9\x04"), 8, QByteArray::fromHex("21F9000021FF0000"));
    const std::pair<const char*, QByteArray> cases[] = {
        // States its first delay in a graphic control block too short to hold it.
        {"gif-short-graphic-control.gif", hostileFixture("gif-short-graphic-control.gif")},
        // Places its second frame 65520 pixels to the right of a 2 x 2 screen.
        {"gif-frame-beyond-screen.gif", hostileFixture("gif-frame-beyond-screen.gif")},
        {"empty blocks", emptyBlocks},
    };
    for (const auto& [name, data] : cases) {
        const ImagePtr image = imageFromData(data, {});
        EXPECT_TRUE(image && image->images().value_or(QList<ImagePtr>()).size() == 2) << name;
    }
    EXPECT_FALSE(QImage::fromData(emptyBlocks).isNull());
}

TEST(GIFBlockWalker, RefusesBrokenDataAndACutLastFrameFailsTheWholeDecode)
{
    EXPECT_EQ(walkGIFBlocks(QByteArray("GIF89a\x01")).error(), GIFStructureError::truncatedHeader);
    const QByteArray gif = solidGif({16, 16}, 3);
    // Every prefix holds the frames whose descriptor it reaches, each complete when its image
    // data ends within it. The writer puts a graphic control block (8 bytes) and a descriptor
    // (10) before each frame, after a header (13) and a colour table of 256 entries.
    const qsizetype headerEnd = 13 + 3 * 256;
    QList<qsizetype> blockStarts;
    for (qsizetype at = gif.indexOf("\x21\xF9\x04"); at >= 0; at = gif.indexOf("\x21\xF9\x04", at + 1))
        blockStarts.append(at);
    ASSERT_EQ(blockStarts.size(), 3);
    blockStarts.append(gif.size() - 1); // the trailer
    for (qsizetype length = 0; length <= gif.size(); ++length) {
        const auto walked = walkGIFBlocks(gif.left(length));
        if (length < headerEnd) {
            EXPECT_EQ(walked.error(), length < 6 ? GIFStructureError::notGIF : GIFStructureError::truncatedHeader) << length;
            continue;
        }
        QList<bool> expected;
        for (int frame = 0; frame < 3 && blockStarts[frame] + 18 <= length; ++frame)
            expected.append(blockStarts[frame + 1] <= length);
        QList<bool> completeness;
        for (const GIFFrameInfo& frame : walked.value().frames)
            completeness.append(frame.complete);
        EXPECT_EQ(completeness, expected) << length;
    }
    // Cut inside the image data of the last frame.
    const QByteArray cut = gif.left(gif.size() - 6);
    EXPECT_EQ(decodeAnimatedImage(cut, {}).error(), AnimatedImageError::frameUnavailable);
}

TEST(GIFFrameSource, GivesFramesInAnyOrderWithTheirTimesAndBounds)
{
    QList<GifFrame> frames;
    for (int index = 0; index < 5; ++index)
        frames.append(solidGifFrame({40, 20}, frameColor(index), index == 4 ? std::nullopt : std::optional(index + 1)));
    const auto source = sourceOf(writeGif({40, 20}, frames));
    for (int index : {3, 0, 4, 1})
        EXPECT_EQ(centre(source->frame(index)), frameColor(index)) << index;
    EXPECT_TRUE(source->frame(-1).isNull());
    // One hundredth is too fast to honour; frame 4 has no control extension; frame 5 does not exist.
    for (const auto& [index, seconds] : {std::pair{0, 0.1}, {1, 0.02}, {4, 0.1}, {5, 0.0}})
        EXPECT_DOUBLE_EQ(source->duration(index), seconds) << index;
    EXPECT_EQ(source->frame(1, QSizeF(10, 0)).size(), QSize(10, 5));
    EXPECT_EQ(source->frame(1, QSizeF(400, 400)).size(), QSize(40, 20));
    EXPECT_EQ(centre(source->copy()->frame(1)), frameColor(1));
}

TEST(GIFFrameSource, StepsBackThroughTheFramesOfOneRestart)
{
    // Room for three 16 x 16 frames besides the latest.
    const auto source =
        GIFFrameSource::make(solidGif({16, 16}, 20), 3 * (16 * 16 * 4 + GIFAnimatedImage::frameOverheadBytes)).value();
    std::vector<int> order(20);
    std::iota(order.rbegin(), order.rend(), 0);
    order.insert(order.end(), {5, 6, 4, 12, 11, 10, 9, 8, 19});
    for (int index : order)
        EXPECT_EQ(centre(source->frame(index)), frameColor(index)) << index;
}

// The frames a restart keeps for stepping back count what each holds besides its pixels:
// twenty thousand one-pixel frames are not 80 kB. Measured through the allocator's own count
// (which sanitizers leave at zero).
TEST(GIFFrameSource, KeptFramesStayWithinTheWindowBudget)
{
    QByteArray gif = QByteArray("GIF89a") + QByteArray::fromHex("010001008000000000" "00FFFFFF");
    const QByteArray onePixel = QByteArray::fromHex("2C0000000001000100" "00" "02" "024401" "00");
    constexpr int frameCount = 20000;
    for (int index = 0; index < frameCount; ++index)
        gif += onePixel;
    gif += ';';
    constexpr std::int64_t windowBudget = 1024 * 1024;
    const auto source = GIFFrameSource::make(gif, windowBudget).value();
    const std::size_t before = mallinfo2().uordblks;
    EXPECT_FALSE(source->frame(frameCount - 1).isNull());
    EXPECT_LT(std::int64_t(mallinfo2().uordblks) - std::int64_t(before), 2 * windowBudget);
}

TEST(GIFFrameSource, ServesConcurrentRandomAccess)
{
    const auto source = sourceOf(solidGif({16, 16}, 8));
    ASSERT_TRUE(source);
    std::atomic<int> wrong = 0;
    {
        std::vector<std::jthread> threads;
        for (int thread = 0; thread < 4; ++thread)
            threads.emplace_back([&, thread] {
                for (int step = 0; step < 40; ++step) {
                    const int index = (step * 5 + thread * 3) % 8;
                    wrong += centre(source->frame(index)) != frameColor(index);
                }
            });
    }
    EXPECT_EQ(wrong.load(), 0);
}

TEST(AnimatedImageDecoding, RefusesBombsDataThatIsNotGIFAndAllocationFailure)
{
    // A few dozen bytes declaring a 65535 x 65535 screen: 16 GiB if decoded.
    const QByteArray bomb = writeGif({65535, 65535}, {solidGifFrame({1, 1}, frameColor(0))});
    EXPECT_EQ(decodeAnimatedImage(bomb, {}).error(), AnimatedImageError::canvasTooLarge);
    EXPECT_EQ(decodeAnimatedImage(QByteArray("\x89PNG\r\n\x1a\n....."), {}).error(), AnimatedImageError::notGIF);
    EXPECT_EQ(decodeAnimatedImage(writeGif({4, 4}, {}), {}).error(), AnimatedImageError::noFrames);

    struct ExhaustedSource final : ImageFrameSource {
        std::optional<QByteArray> data() const override { return std::nullopt; }
        int frameCount() const override { return 2; }
        QImage frame(int, std::optional<QSizeF>) const override { throw std::bad_alloc(); }
        double duration(int) const override { return 0.1; }
        std::shared_ptr<ImageFrameSource> copy() const override { return std::make_shared<ExhaustedSource>(); }
    };
    EXPECT_EQ(decodeAnimatedImage(std::make_shared<ExhaustedSource>(), {}).error(), AnimatedImageError::outOfMemory);
}

TEST(GIFAnimatedImageDecoding, DurationsAndTheFrameBudget)
{
    // A single frame lasts forever; the first frame of many keeps its own time.
    EXPECT_TRUE(std::isinf(GIFAnimatedImage::decode(*sourceOf(solidGif({6, 6}, 1, 25)), firstFrameOnly)->duration));
    EXPECT_DOUBLE_EQ(GIFAnimatedImage::decode(*sourceOf(solidGif({6, 6}, 10, 30)), firstFrameOnly)->duration, 0.3);
    // Ten frames of 400 bytes each, and what each holds besides.
    const std::int64_t frameBytes = 400 + GIFAnimatedImage::frameOverheadBytes;
    const auto source = sourceOf(solidGif({10, 10}, 10));
    EXPECT_EQ(GIFAnimatedImage::decode(*source, {}, 10 * frameBytes - 1).error(), GIFAnimatedImageError::overBudget);
    EXPECT_TRUE(GIFAnimatedImage::decode(*source, {}, 10 * frameBytes).has_value());
    EXPECT_TRUE(GIFAnimatedImage::decode(*source, firstFrameOnly, frameBytes).has_value());
    // Each frame costs its image and bookkeeping besides its pixels: ten one-pixel frames are
    // far more than 40 bytes.
    EXPECT_EQ(GIFAnimatedImage::decode(*sourceOf(solidGif({1, 1}, 10)), {}, 4000).error(),
              GIFAnimatedImageError::overBudget);
}

TEST(AnimatedImageDecoding, AttachesFramesButNotItselfNorFramesBeyondTheBudget)
{
    const ImagePtr image = animatedImage(solidGif({6, 4}, 3, 20), {.scale = 2.0, .preloadAll = true});
    // The image carrying the frames is not itself one of them (that would never be freed).
    EXPECT_NE(image, image->images().value().front());
    // Only the first frame: the frame source stays, the frames do not.
    EXPECT_FALSE(animatedImage(solidGif({6, 4}, 10), firstFrameOnly)->images().has_value());
    // A base image is the very object answered.
    const ImagePtr base = Image::make(QImage(6, 4, QImage::Format_ARGB32_Premultiplied));
    EXPECT_EQ(animatedImage(sourceOf(solidGif({6, 4}, 2)), {}, base), base);
    // Kilobytes that would take gigabytes decoded eagerly: a thousand one-pixel frames on 3000 x 3000.
    QList<GifFrame> frames;
    for (int index = 0; index < 1000; ++index)
        frames.append(solidGifFrame({1, 1}, frameColor(index)));
    EXPECT_FALSE(decodeAnimatedImage(writeGif({3000, 3000}, frames), {}).value()->images().has_value());
}
