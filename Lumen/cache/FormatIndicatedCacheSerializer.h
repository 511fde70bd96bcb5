#pragma once

#include "Lumen/cache/CacheSerializer.h"
#include "Lumen/foundation/imaging/ImageFormat.h"

#include <memory>
#include <optional>

namespace Lumen {

// Stores every image in one fixed format, whatever format it was decoded from.
class FormatIndicatedCacheSerializer final : public CacheSerializer {
public:
    FormatIndicatedCacheSerializer(ImageFormat imageFormat, std::optional<double> jpegCompressionQuality)
        : imageFormat(imageFormat), jpegCompressionQuality(jpegCompressionQuality) {}

    static std::shared_ptr<const FormatIndicatedCacheSerializer> png();
    // JPEG at compression quality 1.0.
    static std::shared_ptr<const FormatIndicatedCacheSerializer> jpeg();
    static std::shared_ptr<const FormatIndicatedCacheSerializer> jpeg(double compressionQuality);
    // The image's attached animated data; see `data`.
    static std::shared_ptr<const FormatIndicatedCacheSerializer> gif();

    ImageFormat imageFormat;
    // Used for JPEG only; 1.0 when absent.
    std::optional<double> jpegCompressionQuality;

    // The image in `imageFormat`. When that gives nothing (no bitmap, no animated data, or
    // `unknown`), the image in the format detected from `original` when that differs; then
    // `original` itself; then PNG.
    std::optional<QByteArray> data(const ImagePtr& image, const std::optional<QByteArray>& original) const override;
    ImagePtr image(const QByteArray& data, const LumenParsedOptionsInfo& options) const override;
    bool usesOriginalData() const override { return false; }
};

} // namespace Lumen
