// The decode entry points the caches and processors call with downloaded bytes.
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "tests/fuzz/FuzzInput.h"

using namespace Tivrand::Fuzzing;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    if (const Lumen::ImagePtr image = Lumen::imageFromData(bytes, {}); image && image->hasBitmap())
        require(Lumen::BitmapLimits::allows(image->pixelSize()));
    if (const Lumen::ImagePtr still = Lumen::stillImage(bytes))
        require(Lumen::BitmapLimits::allows(still->pixelSize()));
    return 0;
}
