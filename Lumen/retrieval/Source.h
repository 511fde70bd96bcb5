#pragma once

#include <QString>
#include <QUrl>

#include <memory>
#include <utility>
#include <variant>

namespace Lumen {

class ImageDataProvider;

// A network resource: where an image is downloaded from and the key it is cached under.
struct ImageResource {
    QString cacheKey;
    QUrl downloadURL;

    // "ImageResource(cacheKey: \"<key>\", downloadURL: <url>)".
    QString description() const;
};

// Where an image comes from: downloaded from a network resource, or made from the bytes of
// a data provider. A value; a provider is shared between copies.
class Source {
public:
    using Value = std::variant<ImageResource, std::shared_ptr<const ImageDataProvider>>;

    static Source network(ImageResource resource);
    static Source provider(std::shared_ptr<const ImageDataProvider> provider);

    const Value& value() const { return m_value; }
    // The resource of a network source; null for a provider source.
    const ImageResource* networkResource() const;
    // The provider of a provider source; null for a network source.
    std::shared_ptr<const ImageDataProvider> dataProvider() const;

    // The resource's or the provider's cache key (empty for a missing provider).
    QString cacheKey() const;

    // "network(<resource>)" or "provider(<provider object>)".
    QString description() const;

private:
    template <typename T>
    Source(std::in_place_type_t<T> type, T value) : m_value(type, std::move(value)) {}

    Value m_value;
};

} // namespace Lumen
