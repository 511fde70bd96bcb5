// WebP through imageFromData: stills, lossless and alpha bitstreams, animations.
#include "tests/fuzz/DecodingFuzzing.h"

using namespace Tivrand::Fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return decodeOneFormat(data, size, [](const QByteArray& bytes) {
        return bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP";
    });
}
