#include "Lumen/retrieval/RetrievingContext.h"

#include <utility>

namespace Lumen {

RetrievingContext::RetrievingContext(LumenParsedOptionsInfo options, Source originalSource,
                                     std::shared_ptr<RetrievalControl> control,
                                     DownloadTaskUpdated downloadTaskUpdated)
    : m_originalSource(std::move(originalSource))
    , m_control(control ? std::move(control) : std::make_shared<RetrievalControl>())
    , m_downloadTaskUpdated(std::move(downloadTaskUpdated))
    , m_options(std::move(options))
{
}

LumenParsedOptionsInfo RetrievingContext::options() const
{
    std::lock_guard lock(m_mutex);
    return m_options;
}

void RetrievingContext::setOptions(LumenParsedOptionsInfo options)
{
    std::lock_guard lock(m_mutex);
    std::swap(m_options, options);
    // The replaced options are released after the guard, by `options`.
}

std::optional<Source> RetrievingContext::takeNextAlternativeSource()
{
    std::lock_guard lock(m_mutex);
    auto& sources = m_options.alternativeSources;
    if (!sources || sources->empty())
        return std::nullopt;
    Source next = std::move(sources->front());
    sources->erase(sources->begin());
    return next;
}

std::optional<Source> RetrievingContext::takeLowDataModeSource()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_options.lowDataModeSource, std::nullopt);
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
