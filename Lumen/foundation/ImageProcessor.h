#pragma once

#include "Lumen/foundation/Image.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <variant>

namespace Lumen {

struct LumenParsedOptionsInfo;

// What a processor works on: an image already decoded (from a cache or an earlier
// processor), or the encoded bytes of a download or a data provider.
struct ImageProcessItem {
    std::variant<ImagePtr, QByteArray> value;

    // "image(<image>)" or "data(<n> bytes)".
    QString description() const;
};

// Turns image material into the image that is shown and cached. Processors are immutable
// and may run on any thread.
class ImageProcessor {
public:
    virtual ~ImageProcessor() = default;

    // Names the processor and its configuration. It becomes part of cache keys and cache
    // file names, so its exact text is part of the stored format.
    virtual QString identifier() const = 0;

    // The processed image, or null when processing fails. A processor never reports more
    // than that; its caller turns a null answer into the library error that fits.
    virtual ImagePtr process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const = 0;

    // "ImageProcessor(identifier: \"<identifier>\")".
    QString description() const;
};

// The processor of every request that names none: decodes bytes, and hands images back
// at the requested scale. Its identifier is empty, which to the caches means "unprocessed".
class DefaultImageProcessor final : public ImageProcessor {
public:
    static const std::shared_ptr<const DefaultImageProcessor>& shared();

    QString identifier() const override;

    // An image item comes back at the options' scale factor: the very same object when the
    // factor is 1 (or not a finite positive number) or the image has no bitmap, otherwise a
    // new image over the same bitmap.
    // A data item is decoded by its format; undecodable bytes give null.
    ImagePtr process(const ImageProcessItem& item, const LumenParsedOptionsInfo& options) const override;
};

} // namespace Lumen
