#pragma once

#include "Lumen/foundation/Image.h"
#include "Lumen/foundation/LibraryDefaults.h"

#include <QByteArray>

#include <memory>
#include <optional>

namespace Lumen {

struct LumenParsedOptionsInfo;

// Turns an image into the bytes the disk cache stores, and stored bytes back into an image.
// Serializers never fail outward: every failure is an absent answer.
//
// A cache encodes and decodes on the shared pool, several stores and reads at once, so
// `data` and `image` of one serializer may be called from several threads at the same time,
// also with the same image or bytes: implementations must be safe so. The serializers here
// keep no state beyond their settings, which are not to change while the serializer is in
// use.
class CacheSerializer {
public:
    virtual ~CacheSerializer() = default;

    // The bytes to store for `image`; `original` are the bytes it was decoded from, when
    // known. Absent when nothing can be produced.
    virtual std::optional<QByteArray> data(const ImagePtr& image, const std::optional<QByteArray>& original) const = 0;
    // The image in stored bytes, decoded as the options ask; null when undecodable.
    virtual ImagePtr image(const QByteArray& data, const LumenParsedOptionsInfo& options) const = 0;
    // Whether the stored bytes are the original ones, so an image read back must still be
    // processed.
    virtual bool usesOriginalData() const = 0;
};

// Stores an image in the format of the bytes it came from (PNG when they are unknown).
class DefaultCacheSerializer final : public CacheSerializer {
public:
    // Compression quality 1.0, no preference for the original bytes.
    static const std::shared_ptr<const DefaultCacheSerializer>& shared();

    // JPEG compression factor, 0 (smallest) to 1 (best).
    double compressionQuality = Defaults::cacheSerializerCompressionQuality;
    // Store the original bytes as they came instead of encoding the image anew.
    bool preferCacheOriginalData = Defaults::cacheSerializerPrefersOriginalData;

    // With `preferCacheOriginalData`: `original` when given, else PNG. Otherwise the image
    // encoded anew in the format detected from `original` (PNG when unknown or absent); GIF
    // answers the image's attached animated data, absent when it has none.
    std::optional<QByteArray> data(const ImagePtr& image, const std::optional<QByteArray>& original) const override;
    ImagePtr image(const QByteArray& data, const LumenParsedOptionsInfo& options) const override;
    bool usesOriginalData() const override { return preferCacheOriginalData; }
};

} // namespace Lumen
