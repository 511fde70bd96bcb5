#include "Lumen/retrieval/RetrievingContext.h"

#include <utility>

namespace Lumen {

RetrievingContext::RetrievingContext(LumenParsedOptionsInfo options, Source originalSource,
                                     std::shared_ptr<RetrievalControl> control,
                                     DownloadTaskUpdated downloadTaskUpdated)
    : m_originalSource(std::move(originalSource))
    , m_control(control ? std::move(control) : std::make_shared<RetrievalControl>())
    , m_downloadTaskUpdated(std::move(downloadTaskUpdated))
    , m_options(std::make_shared<const LumenParsedOptionsInfo>(std::move(options)))
{
}

LumenParsedOptionsInfo RetrievingContext::options() const
{
    return *sharedOptions();
}

std::shared_ptr<const LumenParsedOptionsInfo> RetrievingContext::sharedOptions() const
{
    std::lock_guard lock(m_mutex);
    return m_options;
}

void RetrievingContext::setOptions(LumenParsedOptionsInfo options)
{
    std::shared_ptr<const LumenParsedOptionsInfo> replaced = std::make_shared<const LumenParsedOptionsInfo>(std::move(options));
    std::lock_guard lock(m_mutex);
    std::swap(m_options, replaced);
    // The replaced options are released after the guard, by `replaced`.
}

std::optional<Source> RetrievingContext::takeNextAlternativeSource()
{
    std::shared_ptr<const LumenParsedOptionsInfo> replaced;
    std::lock_guard lock(m_mutex);
    const auto& sources = m_options->alternativeSources;
    if (!sources || sources->empty())
        return std::nullopt;
    auto changed = std::make_shared<LumenParsedOptionsInfo>(*m_options);
    Source next = std::move(changed->alternativeSources->front());
    changed->alternativeSources->erase(changed->alternativeSources->begin());
    replaced = std::exchange(m_options, std::move(changed));
    return next;
}

std::optional<Source> RetrievingContext::takeLowDataModeSource()
{
    std::shared_ptr<const LumenParsedOptionsInfo> replaced;
    std::lock_guard lock(m_mutex);
    if (!m_options->lowDataModeSource)
        return std::nullopt;
    auto changed = std::make_shared<LumenParsedOptionsInfo>(*m_options);
    std::optional<Source> lowDataModeSource = std::exchange(changed->lowDataModeSource, std::nullopt);
    replaced = std::exchange(m_options, std::move(changed));
    return lowDataModeSource;
}

std::vector<PropagationError> RetrievingContext::propagationErrors() const
{
    std::lock_guard lock(m_mutex);
    return m_propagationErrors;
}

void RetrievingContext::addPropagationError(PropagationError error)
{
    std::lock_guard lock(m_mutex);
    m_propagationErrors.push_back(std::move(error));
}

void RetrievingContext::downloadTaskStarted(const std::shared_ptr<DownloadTask>& task) const
{
    m_control->laterTaskStarted(task);
    if (m_downloadTaskUpdated)
        m_downloadTaskUpdated(task);
}

} // namespace Lumen
