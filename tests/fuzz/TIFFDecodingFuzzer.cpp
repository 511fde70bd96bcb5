// TIFF through imageFromData: pages, strips and tiles, deep samples, compressions.
#include "tests/fuzz/DecodingFuzzing.h"

using namespace Tivrand::Fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return decodeOneFormat(data, size, [](const QByteArray& bytes) {
        return bytes.startsWith(QByteArrayView("II*\0", 4)) || bytes.startsWith(QByteArrayView("MM\0*", 4));
    });
}
