// The GIF block walk that counts frames, reads delays and bounds the canvas.
#include "Lumen/foundation/imaging/GIFBlockWalker.h"
#include "tests/fuzz/FuzzInput.h"

using namespace Tivrand::Fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto structure = Lumen::walkGIFBlocks(inputBytes(data, size));
    if (structure) {
        // Every frame but the last was walked to its end.
        for (qsizetype index = 0; index + 1 < structure->frames.size(); ++index)
            require(structure->frames[index].complete);
        (void)structure->fitsBitmapLimits();
    }
    return 0;
}
