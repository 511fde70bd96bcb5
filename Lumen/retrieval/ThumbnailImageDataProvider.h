#pragma once

#include "Lumen/retrieval/ImageDataProvider.h"

namespace Lumen {

// Why a thumbnail could not be made. Passed on as an `UnderlyingError` in the domain
// "Lumen.ThumbnailImageDataProviderError" with the case's value as code.
enum class ThumbnailImageDataProviderError {
    invalidImageSource, // the file cannot be read or holds no known image format
    invalidThumbnail,   // the format is known but no image of the asked size decodes from it
    writeDataError,     // no encoder for the thumbnail
    finalizeDataError,  // the encoder failed
};

UnderlyingError toUnderlyingError(ThumbnailImageDataProviderError error);

// A thumbnail of a local image file, at most `maxPixelSize` pixels on its longer side, encoded
// in the file's own format (PNG where Qt cannot write that format). Made on the shared
// concurrent queue, where the handler is called too. Files are read as by
// `LocalFileImageDataProvider`.
class ThumbnailImageDataProvider final : public ImageDataProvider {
public:
    // Without a key: the URL's absolute string + "_thumb_" + `maxPixelSize` + "_" + "true" or
    // "false", made once here (later changes of the fields do not change it).
    ThumbnailImageDataProvider(QUrl url, double maxPixelSize, bool alwaysCreateThumbnail,
                               std::optional<QString> cacheKey = std::nullopt);

    const QUrl& url() const { return m_url; }
    double maxPixelSize() const { return m_maxPixelSize; }
    void setMaxPixelSize(double maxPixelSize) { m_maxPixelSize = maxPixelSize; }
    // Qt reads no embedded thumbnails, so thumbnails are always made from the image; the flag
    // is kept for the key.
    bool alwaysCreateThumbnail() const { return m_alwaysCreateThumbnail; }
    void setAlwaysCreateThumbnail(bool always) { m_alwaysCreateThumbnail = always; }
    void setCacheKey(QString cacheKey) { m_cacheKey = std::move(cacheKey); }

    QString cacheKey() const override { return m_cacheKey; }
    void data(DataHandler handler) const override;

private:
    QUrl m_url;
    double m_maxPixelSize;
    bool m_alwaysCreateThumbnail;
    QString m_cacheKey;
};

} // namespace Lumen
