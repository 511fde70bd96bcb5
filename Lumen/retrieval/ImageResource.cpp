#include "Lumen/retrieval/ImageResource.h"

#include "Lumen/foundation/ObjectDescription.h"

namespace Lumen::LM {

ImageResource::ImageResource(QUrl downloadURL, std::optional<QString> cacheKey)
    : m_cacheKey(cacheKey ? std::move(*cacheKey) : URLResource(downloadURL).cacheKey())
    , m_downloadURL(std::move(downloadURL))
{
}

QString ImageResource::description() const
{
    return QStringLiteral("ImageResource(cacheKey: \"") + m_cacheKey + QStringLiteral("\", downloadURL: ")
        + describeUrl(m_downloadURL) + QLatin1Char(')');
}

} // namespace Lumen::LM
