// BMP through imageFromData: every header layout, palettes, bit fields, run lengths.
#include "tests/fuzz/DecodingFuzzing.h"

using namespace Tivrand::Fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return decodeOneFormat(data, size, [](const QByteArray& bytes) { return bytes.startsWith("BM"); });
}
