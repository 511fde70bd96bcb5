#pragma once

// The decode entry point downloads go through, for one format: data of any other format is
// passed by, so each target spends its run on its own decoder. A decoded image must lie
// within the bitmap limits and within what the library accounted for the data before it
// let a decoder run (turned on its side, where the data's orientation says so).
#include "Lumen/foundation/imaging/BitmapLimits.h"
#include "Lumen/foundation/imaging/BoundedDecoding.h"
#include "Lumen/foundation/imaging/ImageDecoding.h"
#include "tests/fuzz/FuzzInput.h"

namespace Tivrand::Fuzzing {

// Each program of this kind is one source file, so the driver's hook can be defined here.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceQtMessages();
    return 0;
}

inline bool fitsWithin(QSize inner, QSize outer)
{
    return inner.width() <= outer.width() && inner.height() <= outer.height();
}

template <typename CarriesFormat>
int decodeOneFormat(const std::uint8_t* data, std::size_t size, CarriesFormat carriesFormat)
{
    const QByteArray bytes = inputBytes(data, size);
    if (!carriesFormat(bytes))
        return 0;
    const Lumen::ImagePtr image = Lumen::imageFromData(bytes, {});
    if (image && image->hasBitmap()) {
        const QSize pixels = image->pixelSize();
        const auto decoding = Lumen::boundedDecoding(bytes);
        require(Lumen::BitmapLimits::allows(pixels) && decoding.has_value());
        require(fitsWithin(pixels, decoding->size) || fitsWithin(pixels.transposed(), decoding->size));
    }
    return 0;
}

} // namespace Tivrand::Fuzzing
