// WebP through imageFromData: stills, lossless and alpha bitstreams, animations. Besides the
// checks of every decoding target, what a decode holds on the heap stays within the peak the
// library accounted for the data; and data whose chunks walk well but whose bitstreams the
// accounting calls malformed must be refused by Qt's own reader too, or the accounting would
// refuse an image the decoder takes.
#include "tests/fuzz/DecodingFuzzing.h"
#include "tests/lumen/imaging/HeapPeak.h"

#include "Lumen/foundation/imaging/WebPChunkWalker.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

using namespace Tivrand::Fuzzing;
using Tivrand::Testing::HeapPeak::peakOf;

namespace {

bool isWebP(const QByteArray& bytes)
{
    return bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP";
}

// The first decode loads Qt's plugin and sets up what a reader needs once per process.
void warmUp()
{
    static const bool warm = [] {
        QByteArray still;
        QBuffer buffer(&still);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "webp").write(QImage(2, 2, QImage::Format_ARGB32));
        return Lumen::imageFromData(still, {}) != nullptr;
    }();
    (void)warm;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    if (!isWebP(bytes))
        return 0;
    warmUp();
    const auto decoding = Lumen::boundedDecoding(bytes);
    Lumen::ImagePtr image;
    const std::int64_t held = peakOf([&] { image = Lumen::imageFromData(bytes, {}); });
    if (image && image->hasBitmap()) {
        require(decoding.has_value() && held <= decoding->peakBytes);
        require(Lumen::BitmapLimits::allows(image->pixelSize()) && fitsWithin(image->pixelSize(), decoding->size));
    }
    if (!decoding && decoding.error() == Lumen::DecodingRefusal::malformed && Lumen::walkWebPChunks(bytes)) {
        QByteArray copy = bytes;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        require(QImageReader(&buffer, "webp").read().isNull());
    }
    return 0;
}
