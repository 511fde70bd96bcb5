#pragma once

#include "Lumen/retrieval/AssetImageGenerator.h"
#include "Lumen/retrieval/ImageDataProvider.h"

#include <QImage>

#include <memory>
#include <optional>

namespace Lumen {

// Why no frame came although the generator reported no error. Passed on as an
// `UnderlyingError` in the domain "Lumen.AVAssetImageDataProviderError" with the case's value
// as code.
enum class AVAssetImageDataProviderError {
    invalidImage,  // no image came, or it could not be encoded as JPEG
    userCancelled, // the request was cancelled
};

// `image`, the frame that came but could not be encoded, is carried as the error's
// `payload<QImage>()`; an `invalidImage` error without one means no frame came.
UnderlyingError toUnderlyingError(AVAssetImageDataProviderError error, std::optional<QImage> image = std::nullopt);

// The frame of a movie at one time, as JPEG. The handler runs on the generator's thread with
// the generator's own error, `userCancelled` for a cancelled request, the JPEG bytes, or
// `invalidImage`, in that order of precedence.
class AVAssetImageDataProvider final : public ImageDataProvider {
public:
    // Without a generator every request fails with `invalidImage`.
    AVAssetImageDataProvider(std::shared_ptr<AssetImageGenerator> assetImageGenerator, MediaTime time);
    // An FFmpeg generator over the movie file, turning frames upright.
    AVAssetImageDataProvider(QUrl assetURL, MediaTime time);
    AVAssetImageDataProvider(QUrl assetURL, double seconds);

    const std::shared_ptr<AssetImageGenerator>& assetImageGenerator() const { return m_assetImageGenerator; }
    MediaTime time() const { return m_time; }

    // Made on each read: the movie's key (a file's `localFileCacheKey`, another URL's absolute
    // string, or for a movie without URL a fresh UUID, so that no two reads agree) + "_" + the
    // time in seconds.
    QString cacheKey() const override;
    void data(DataHandler handler) const override;

private:
    std::shared_ptr<AssetImageGenerator> m_assetImageGenerator;
    MediaTime m_time;
};

} // namespace Lumen
