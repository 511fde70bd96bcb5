#pragma once

#include "Lumen/retrieval/Resource.h"

namespace Lumen::LM {

// The library's own resource: a download URL and the key its image is cached under.
class ImageResource final : public Resource {
public:
    // A given key is kept as it is, an empty one included; without one the URL's own key is
    // used (see `URLResource`).
    explicit ImageResource(QUrl downloadURL, std::optional<QString> cacheKey = std::nullopt);

    QString cacheKey() const override { return m_cacheKey; }
    QUrl downloadURL() const override { return m_downloadURL; }
    // "ImageResource(cacheKey: \"<key>\", downloadURL: <url>)".
    QString description() const override;

private:
    QString m_cacheKey;
    QUrl m_downloadURL;
};

} // namespace Lumen::LM
