#include "Lumen/views/loading/SourceArgument.h"

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

} // namespace Lumen
