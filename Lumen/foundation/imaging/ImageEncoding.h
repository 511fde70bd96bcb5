#pragma once

#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/imaging/ImageFormat.h"

#include <QByteArray>

#include <optional>

namespace Lumen {

// Encodings of an image's bitmap. None for a null image, one without a bitmap, or when
// the encoder fails. Safe on any thread.

std::optional<QByteArray> pngRepresentation(const ImagePtr& image);

// `compressionQuality` runs from 0 (smallest) to 1 (best) and is clamped into that range;
// NaN gives none. JPEG has no alpha: transparent areas come out black.
std::optional<QByteArray> jpegRepresentation(const ImagePtr& image, double compressionQuality);

// The GIF bytes the image was decoded from, unchanged (GIF is never encoded); none for an
// image that was not decoded as animated.
std::optional<QByteArray> gifRepresentation(const ImagePtr& image);

// PNG for `unknown` and `PNG`, JPEG at `compressionQuality`, or the original GIF bytes.
std::optional<QByteArray> encodedData(const ImagePtr& image, ImageFormat format, double compressionQuality);

} // namespace Lumen
