#pragma once

#include "Lumen/retrieval/ImageDataProvider.h"
#include "Lumen/retrieval/Source.h"

#include <concepts>
#include <memory>
#include <optional>
#include <type_traits>

class QUrl;

namespace Lumen {

class Resource;

// Where the image of a loading operation comes from: a source, a resource or a URL (a file URL
// is read from disk, any other URL downloaded) or a data provider. Null and `nullopt` give
// none.
class SourceArgument {
public:
    SourceArgument(std::nullopt_t) {}
    SourceArgument(Source source) : m_source(std::move(source)) {}
    SourceArgument(std::optional<Source> source) : m_source(std::move(source)) {}
    SourceArgument(const Resource& resource);
    SourceArgument(const Resource* resource);
    SourceArgument(const QUrl& url);
    template<class Provider>
        requires std::derived_from<std::remove_const_t<Provider>, ImageDataProvider>
    SourceArgument(std::shared_ptr<Provider> provider)
    {
        if (provider)
            m_source = Source::provider(std::move(provider));
    }

    const std::optional<Source>& source() const { return m_source; }

private:
    std::optional<Source> m_source;
};

// The same, except that a resource (a plain URL included) is downloaded from its URL as it is:
// a file URL is not read from disk.
class DownloadedSourceArgument : public SourceArgument {
public:
    using SourceArgument::SourceArgument;
    // An argument already made keeps its source.
    DownloadedSourceArgument(const SourceArgument& argument) : SourceArgument(argument) {}
    DownloadedSourceArgument(const Resource& resource);
    DownloadedSourceArgument(const Resource* resource);
    DownloadedSourceArgument(const QUrl& url);
};

} // namespace Lumen
