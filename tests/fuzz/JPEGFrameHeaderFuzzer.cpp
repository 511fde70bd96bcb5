// The JPEG marker walk that bounds coefficient memory before libjpeg sees the bytes.
#include "Lumen/foundation/imaging/JPEGFrameHeader.h"
#include "tests/fuzz/FuzzInput.h"

using namespace Tivrand::Fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto header = Lumen::readJPEGFrameHeader(inputBytes(data, size));
    if (header) {
        require(!header->size.isEmpty() && !header->components.empty());
        require(header->coefficientBytes() > 0);
        (void)header->buffersWholeImage();
    }
    return 0;
}
