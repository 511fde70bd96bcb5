// ICO through imageFromData: bitmap icons and the PNG streams icons hold.
#include "tests/fuzz/DecodingFuzzing.h"

using namespace Tivrand::Fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return decodeOneFormat(data, size, [](const QByteArray& bytes) {
        return bytes.startsWith(QByteArrayView("\0\0\1\0", 4));
    });
}
