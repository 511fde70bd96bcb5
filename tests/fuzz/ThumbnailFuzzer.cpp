// The thumbnail path, where JPEG is decoded scaled: the bound comes from the input's last two
// bytes.
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "tests/fuzz/FuzzInput.h"

#include <algorithm>

using namespace Tivrand::Fuzzing;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int maxSide = 1 + ((data[size - 2] << 8 | data[size - 1]) % 512);
    const Lumen::ImagePtr thumbnail = Lumen::downsampledImage(inputBytes(data, size), QSizeF(maxSide, maxSide), 1.0);
    if (thumbnail) {
        const QSize pixels = thumbnail->pixelSize();
        require(std::max(pixels.width(), pixels.height()) <= maxSide);
    }
    return 0;
}
