#pragma once

#include "Lumen/foundation/imaging/BoundedDecoding.h"

#include <QByteArrayView>
#include <QSize>

#include <cstdint>
#include <expected>

namespace Lumen {

// What libwebp holds at most while it decodes the lossless image stream `stream` (a lossless
// bitstream after its five-byte header, or a lossless alpha plane after its one-byte header)
// of `size` pixels, besides the bitmap it decodes into: its pixel buffer and the rows it
// caches, the images of the stream's transforms, the entropy image, its colour cache, and a
// table of prefix codes for every group of codes the entropy image names, which the decoder
// allocates before it reads any of them. The stream is read as the decoder reads it up to
// the point where the groups are known, the transforms' images and the entropy image decoded
// along the way, each of their pixels and each symbol of their codes' alphabets taken from
// `workLeft`: `malformed` when the decoder would refuse the stream before then,
// `beyondBudget` when the work runs out.
std::expected<std::int64_t, DecodingRefusal> losslessDecodingBytes(QByteArrayView stream, QSize size,
                                                                   std::int64_t& workLeft);

} // namespace Lumen
