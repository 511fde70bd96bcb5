#include "Lumen/retrieval/Resource.h"

#include "Lumen/foundation/ObjectDescription.h"
#include "Lumen/retrieval/ImageResource.h"
#include "Lumen/retrieval/LocalFileImageDataProvider.h"
#include "Lumen/retrieval/Source.h"
#include "Lumen/retrieval/URLKeys.h"

namespace Lumen {

Source Resource::convertToSource(std::optional<QString> overrideCacheKey) const
{
    QString key = overrideCacheKey ? std::move(*overrideCacheKey) : cacheKey();
    QUrl url = downloadURL();
    if (url.isLocalFile())
        return Source::provider(std::make_shared<LocalFileImageDataProvider>(std::move(url), std::move(key)));
    return Source::network(LM::ImageResource(std::move(url), std::move(key)));
}

QString URLResource::cacheKey() const
{
    return m_url.isLocalFile() ? localFileCacheKey(m_url) : absoluteString(m_url);
}

QString URLResource::description() const
{
    return describeUrl(m_url);
}

} // namespace Lumen
