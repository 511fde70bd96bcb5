#include "Lumen/retrieval/Source.h"

#include "Lumen/foundation/ObjectDescription.h"
#include "Lumen/retrieval/ImageDataProvider.h"

#include <QHashFunctions>

#include <atomic>

namespace Lumen {

namespace {

std::atomic<Source::Identifier::Value> currentIdentifier{0};

} // namespace

Source::Identifier::Value Source::Identifier::next()
{
    return currentIdentifier.fetch_add(1, std::memory_order_relaxed) + 1;
}

Source Source::network(std::shared_ptr<const Resource> resource)
{
    return Source(std::in_place_type<std::shared_ptr<const Resource>>, std::move(resource));
}

Source Source::network(LM::ImageResource resource)
{
    return network(std::make_shared<const LM::ImageResource>(std::move(resource)));
}

Source Source::provider(std::shared_ptr<const ImageDataProvider> provider)
{
    return Source(std::in_place_type<std::shared_ptr<const ImageDataProvider>>, std::move(provider));
}

std::shared_ptr<const Resource> Source::networkResource() const
{
    const auto* resource = std::get_if<std::shared_ptr<const Resource>>(&m_value);
    return resource ? *resource : nullptr;
}

std::shared_ptr<const ImageDataProvider> Source::dataProvider() const
{
    const auto* provider = std::get_if<std::shared_ptr<const ImageDataProvider>>(&m_value);
    return provider ? *provider : nullptr;
}

QString Source::cacheKey() const
{
    return std::visit([](const auto& payload) { return payload ? payload->cacheKey() : QString(); }, m_value);
}

std::optional<QUrl> Source::url() const
{
    if (std::holds_alternative<std::shared_ptr<const Resource>>(m_value)) {
        const auto resource = networkResource();
        return resource ? resource->downloadURL() : QUrl();
    }
    const auto provider = dataProvider();
    return provider ? provider->contentURL() : std::nullopt;
}

QString Source::description() const
{
    if (std::holds_alternative<std::shared_ptr<const Resource>>(m_value)) {
        const auto resource = networkResource();
        return QStringLiteral("network(") + (resource ? resource->description() : QStringLiteral("nil"))
            + QLatin1Char(')');
    }
    return QStringLiteral("provider(") + describeObject("Lumen::ImageDataProvider", dataProvider().get())
        + QLatin1Char(')');
}

bool operator==(const Source& lhs, const Source& rhs)
{
    return lhs.m_value.index() == rhs.m_value.index() && lhs.cacheKey() == rhs.cacheKey() && lhs.url() == rhs.url();
}

std::size_t qHash(const Source& source, std::size_t seed) noexcept
{
    seed = qHashMulti(seed, source.cacheKey());
    const auto url = source.url();
    if (std::holds_alternative<std::shared_ptr<const Resource>>(source.value()))
        return qHashMulti(seed, *url);
    return url ? qHashMulti(seed, quint8(1), *url) : qHashMulti(seed, quint8(0));
}

} // namespace Lumen
