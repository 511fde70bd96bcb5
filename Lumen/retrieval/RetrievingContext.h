#pragma once

#include "Lumen/foundation/LumenOptionsInfo.h"
#include "Lumen/retrieval/PropagationError.h"
#include "Lumen/retrieval/RetrievalControl.h"
#include "Lumen/retrieval/Source.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace Lumen {

class DownloadTask;

// The state of one retrieval across its attempts: its options (which lose the alternative
// and low-data-mode sources as they are used), the source it started with, the sources
// given up so far, and the caller's control over it. Safe to use from any thread.
class RetrievingContext {
public:
    using DownloadTaskUpdated = std::function<void(const std::shared_ptr<DownloadTask>&)>;

    // `downloadTaskUpdated` hears of every download task but the first attempt's.
    RetrievingContext(LumenParsedOptionsInfo options, Source originalSource,
                      std::shared_ptr<RetrievalControl> control = std::make_shared<RetrievalControl>(),
                      DownloadTaskUpdated downloadTaskUpdated = {});
    RetrievingContext(const RetrievingContext&) = delete;
    RetrievingContext& operator=(const RetrievingContext&) = delete;

    LumenParsedOptionsInfo options() const;
    // The same without a copy: a change makes new options.
    std::shared_ptr<const LumenParsedOptionsInfo> sharedOptions() const;
    void setOptions(LumenParsedOptionsInfo options);

    const Source& originalSource() const { return m_originalSource; }

    // The first alternative source not tried yet, taken off the options' list: each is
    // offered once, in the caller's order.
    std::optional<Source> takeNextAlternativeSource();
    // The low-data-mode source, cleared from the options so it is used at most once.
    std::optional<Source> takeLowDataModeSource();

    // The sources given up so far, oldest first.
    std::vector<PropagationError> propagationErrors() const;
    void addPropagationError(PropagationError error);

    const std::shared_ptr<RetrievalControl>& control() const { return m_control; }
    // Whether the caller cancelled the retrieval.
    bool isCancelled() const { return m_control->isCancelled(); }
    // A download other than the one the first attempt's call answers (a later attempt, or a
    // load after a cache entry could not be read): it becomes the one the caller's control
    // reaches, and the caller hears of it.
    void downloadTaskStarted(const std::shared_ptr<DownloadTask>& task) const;

private:
    const Source m_originalSource;
    const std::shared_ptr<RetrievalControl> m_control;
    const DownloadTaskUpdated m_downloadTaskUpdated;

    mutable std::mutex m_mutex;
    std::shared_ptr<const LumenParsedOptionsInfo> m_options;
    std::vector<PropagationError> m_propagationErrors;
};

} // namespace Lumen
