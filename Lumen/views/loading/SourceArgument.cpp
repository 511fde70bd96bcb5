#include "Lumen/views/loading/SourceArgument.h"

#include "Lumen/retrieval/ImageResource.h"
#include "Lumen/retrieval/Resource.h"

namespace Lumen {

SourceArgument::SourceArgument(const Resource& resource)
    : m_source(resource.convertToSource())
{
}

SourceArgument::SourceArgument(const Resource* resource)
{
    if (resource)
        m_source = resource->convertToSource();
}

SourceArgument::SourceArgument(const QUrl& url)
    : m_source(URLResource(url).convertToSource())
{
}

namespace {

Source downloaded(const Resource& resource)
{
    return Source::network(LM::ImageResource(resource.downloadURL(), resource.cacheKey()));
}

} // namespace

DownloadedSourceArgument::DownloadedSourceArgument(const Resource& resource)
    : SourceArgument(downloaded(resource))
{
}

DownloadedSourceArgument::DownloadedSourceArgument(const Resource* resource)
    : SourceArgument(resource ? std::optional(downloaded(*resource)) : std::nullopt)
{
}

DownloadedSourceArgument::DownloadedSourceArgument(const QUrl& url)
    : SourceArgument(downloaded(URLResource(url)))
{
}

} // namespace Lumen
