#pragma once

#include "Lumen/retrieval/ImageResource.h"

#include <QString>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <variant>

namespace Lumen {

class ImageDataProvider;

// Where an image comes from: downloaded from a network resource, or made from the bytes of
// a data provider. A value; the resource or provider it holds is shared between copies.
class Source {
public:
    using Value = std::variant<std::shared_ptr<const Resource>, std::shared_ptr<const ImageDataProvider>>;

    // The numbers that tag image-setting requests, so a late result can be told from the
    // current request's. Process-wide; the first one handed out is 1.
    struct Identifier {
        using Value = std::uint64_t;
        static Value next();
    };

    static Source network(std::shared_ptr<const Resource> resource);
    static Source network(LM::ImageResource resource);
    static Source provider(std::shared_ptr<const ImageDataProvider> provider);

    const Value& value() const { return m_value; }
    // The resource of a network source; null for a provider source.
    std::shared_ptr<const Resource> networkResource() const;
    // The provider of a provider source; null for a network source.
    std::shared_ptr<const ImageDataProvider> dataProvider() const;

    // The resource's or the provider's cache key (empty when either is missing).
    QString cacheKey() const;
    // A network source's download URL (empty when its resource is missing); a provider's
    // content URL, which most providers do not have.
    std::optional<QUrl> url() const;

    // "network(<resource>)" or "provider(<provider object>)".
    QString description() const;

    // Equal when of the same kind with equal keys and equal URLs; what a source holds is not
    // compared otherwise.
    friend bool operator==(const Source& lhs, const Source& rhs);

private:
    template <typename T>
    Source(std::in_place_type_t<T> type, T value) : m_value(type, std::move(value)) {}

    Value m_value;
};

// Agrees with equality: the key, then the URL (a provider's absent URL counts too).
std::size_t qHash(const Source& source, std::size_t seed = 0) noexcept;

} // namespace Lumen

template <>
struct std::hash<Lumen::Source> {
    std::size_t operator()(const Lumen::Source& source) const noexcept { return Lumen::qHash(source); }
};
