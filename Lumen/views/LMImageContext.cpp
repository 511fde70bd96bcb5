#include "Lumen/views/LMImageContext.h"

#include "Lumen/foundation/ImageProcessor.h"
#include "Lumen/retrieval/LumenManager.h"

#include <QHash>

#include <mutex>
#include <utility>

namespace Lumen {
namespace {

// The options every context starts from, made once for each state of the shared manager's
// defaults rather than parsed again for each view of a list.
std::shared_ptr<const LumenParsedOptionsInfo> initialOptions()
{
    struct Made {
        std::mutex mutex;
        std::shared_ptr<const LumenParsedOptionsInfo> from;
        std::shared_ptr<const LumenParsedOptionsInfo> options;
    };
    // Never destroyed, like the shared manager whose options it holds.
    static auto* made = new Made;
    std::shared_ptr<const LumenParsedOptionsInfo> defaults = LumenManager::shared()->parsedDefaultOptions();
    std::shared_ptr<const LumenParsedOptionsInfo> replaced;
    std::lock_guard lock(made->mutex);
    if (made->from != defaults) {
        auto options = std::make_shared<LumenParsedOptionsInfo>(*defaults);
        options->loadDiskFileSynchronously = true;
        // What is replaced is released after the guard, by `defaults` and `replaced`.
        std::swap(made->from, defaults);
        replaced = std::exchange(made->options, std::move(options));
    }
    return made->options;
}

} // namespace

LMImageContext::LMImageContext(std::optional<Source> source)
    : m_source(std::move(source))
    , m_hooks(std::make_shared<Hooks>())
{
    m_settings.options = initialOptions();
}

LMImageContext::LMImageContext(std::optional<Source> source, const LMImageContext& settings)
    : m_source(std::move(source))
    , m_hooks(settings.m_hooks)
{
    std::lock_guard lock(settings.m_mutex);
    m_settings = settings.m_settings;
}

LumenParsedOptionsInfo LMImageContext::options() const
{
    return *sharedOptions();
}

std::shared_ptr<const LumenParsedOptionsInfo> LMImageContext::sharedOptions() const
{
    return read(&Settings::options);
}

void LMImageContext::setOptions(LumenParsedOptionsInfo options)
{
    write(&Settings::options, std::shared_ptr<const LumenParsedOptionsInfo>(
                                  std::make_shared<const LumenParsedOptionsInfo>(std::move(options))));
}

LMImageContext::Configurations LMImageContext::configurations() const
{
    return read(&Settings::configurations);
}

void LMImageContext::appendConfiguration(Configuration configuration)
{
    append(&Settings::configurations, std::move(configuration));
}

LMImageContext::RenderConfigurations LMImageContext::renderConfigurations() const
{
    return read(&Settings::renderConfigurations);
}

void LMImageContext::appendRenderConfiguration(RenderConfiguration configuration)
{
    append(&Settings::renderConfigurations, std::move(configuration));
}

LMImageContext::ContentConfiguration LMImageContext::contentConfiguration() const
{
    return read(&Settings::contentConfiguration);
}

void LMImageContext::setContentConfiguration(ContentConfiguration configuration)
{
    write(&Settings::contentConfiguration, std::move(configuration));
}

LMImageContext::Placeholder LMImageContext::placeholder() const
{
    return read(&Settings::placeholder);
}

void LMImageContext::setPlaceholder(Placeholder placeholder)
{
    write(&Settings::placeholder, std::move(placeholder));
}

bool LMImageContext::cancelOnDisappear() const
{
    return read(&Settings::cancelOnDisappear);
}

void LMImageContext::setCancelOnDisappear(bool cancel)
{
    write(&Settings::cancelOnDisappear, cancel);
}

bool LMImageContext::reducePriorityOnDisappear() const
{
    return read(&Settings::reducePriorityOnDisappear);
}

void LMImageContext::setReducePriorityOnDisappear(bool reduce)
{
    write(&Settings::reducePriorityOnDisappear, reduce);
}

bool LMImageContext::startLoadingBeforeViewAppear() const
{
    return read(&Settings::startLoadingBeforeViewAppear);
}

void LMImageContext::setStartLoadingBeforeViewAppear(bool start)
{
    write(&Settings::startLoadingBeforeViewAppear, start);
}

bool LMImageContext::appliesFade(CacheType cacheType) const
{
    std::lock_guard lock(m_mutex);
    return m_settings.options->forceTransition || !isCached(cacheType);
}

std::optional<double> LMImageContext::fadeDuration(CacheType cacheType) const
{
    if (!appliesFade(cacheType))
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    const ImageTransition& transition = m_settings.options->transition;
    return transition.isFade() ? std::optional<double>(transition.duration()) : std::nullopt;
}

QString LMImageContext::processorIdentifier() const
{
    // The processor answers outside the guard.
    const std::shared_ptr<const ImageProcessor> processor = sharedOptions()->processor;
    return processor ? processor->identifier() : QString();
}

bool operator==(const LMImageContext& lhs, const LMImageContext& rhs)
{
    return lhs.m_source == rhs.m_source && lhs.processorIdentifier() == rhs.processorIdentifier();
}

std::size_t qHash(const LMImageContext& context, std::size_t seed) noexcept
{
    seed = context.m_source ? qHashMulti(seed, quint8(1), *context.m_source) : qHashMulti(seed, quint8(0));
    return qHashMulti(seed, context.processorIdentifier());
}

} // namespace Lumen
