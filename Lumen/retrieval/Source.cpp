#include "Lumen/retrieval/Source.h"

#include "Lumen/foundation/ObjectDescription.h"
#include "Lumen/retrieval/ImageDataProvider.h"

#include <utility>

namespace Lumen {

QString ImageResource::description() const
{
    return QStringLiteral("ImageResource(cacheKey: \"") + cacheKey + QStringLiteral("\", downloadURL: ")
        + describeUrl(downloadURL) + QLatin1Char(')');
}

Source Source::network(ImageResource resource)
{
    return Source(std::in_place_type<ImageResource>, std::move(resource));
}

Source Source::provider(std::shared_ptr<const ImageDataProvider> provider)
{
    return Source(std::in_place_type<std::shared_ptr<const ImageDataProvider>>, std::move(provider));
}

const ImageResource* Source::networkResource() const
{
    return std::get_if<ImageResource>(&m_value);
}

std::shared_ptr<const ImageDataProvider> Source::dataProvider() const
{
    const auto* provider = std::get_if<std::shared_ptr<const ImageDataProvider>>(&m_value);
    return provider ? *provider : nullptr;
}

QString Source::cacheKey() const
{
    if (const auto* resource = networkResource())
        return resource->cacheKey;
    const auto provider = dataProvider();
    return provider ? provider->cacheKey() : QString();
}

QString Source::description() const
{
    if (const auto* resource = networkResource())
        return QStringLiteral("network(") + resource->description() + QLatin1Char(')');
    return QStringLiteral("provider(") + describeObject("Lumen::ImageDataProvider", dataProvider().get())
        + QLatin1Char(')');
}

} // namespace Lumen
