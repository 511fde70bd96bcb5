// The frame source under any order of frame requests: every frame must come out as it does
// when the frames are decoded once, in order. The order comes from the input's last bytes;
// the window of kept frames is two frames, so that restarts and window hits both happen.
// Large canvases are left to the decoding target: here each would only cost copies.
#include "Lumen/foundation/imaging/GIFBlockWalker.h"
#include "Lumen/foundation/imaging/GIFFrameSource.h"
#include "tests/fuzz/FuzzInput.h"

#include <algorithm>
#include <vector>

using namespace Tivrand::Fuzzing;

namespace {

constexpr int maxFrames = 32;
constexpr int requests = 12;
constexpr std::int64_t maxCanvasPixels = 512 * 512;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    const auto structure = Lumen::walkGIFBlocks(bytes);
    if (!structure || std::int64_t(structure->canvasSize.width()) * structure->canvasSize.height() > maxCanvasPixels)
        return 0;
    const auto reference = Lumen::GIFFrameSource::make(bytes);
    if (!reference)
        return 0;
    const int count = std::min((*reference)->frameCount(), maxFrames);
    if (count == 0)
        return 0;
    std::vector<QImage> inOrder;
    for (int index = 0; index < count; ++index)
        inOrder.push_back((*reference)->frame(index));

    const QSize canvas = inOrder.front().isNull() ? QSize(1, 1) : inOrder.front().size();
    const auto source = Lumen::GIFFrameSource::make(bytes, 2 * std::int64_t(canvas.width()) * canvas.height() * 4);
    require(source.has_value());
    for (int request = 0; request < requests && std::size_t(request) < size; ++request) {
        const int index = data[size - 1 - request] % count;
        require((*source)->frame(index) == inOrder[index]);
    }
    return 0;
}
