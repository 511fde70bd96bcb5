// The PNG chunk walk that runs before libpng sees the bytes.
#include "Lumen/foundation/imaging/PNGChunkWalker.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)Lumen::walkPNGChunks(Tivrand::Fuzzing::inputBytes(data, size));
    return 0;
}
