#pragma once

#include "Lumen/retrieval/LumenManager.h"

#include <functional>
#include <memory>

namespace Lumen {

class RetryContext;
class RetryStrategy;

// One retrieval as a whole: its attempts one at a time, the retry strategy's decisions, the
// low-data-mode source and the alternative sources, ending in exactly one completion.
// Kept alive by its pending attempt or decision.
class ImageRetrieval : public std::enable_shared_from_this<ImageRetrieval> {
public:
    ImageRetrieval(std::shared_ptr<LumenManager> manager, std::shared_ptr<RetrievingContext> context,
                   std::shared_ptr<const RetryStrategy> retryStrategy,
                   LumenManager::CompletionHandler completionHandler);

    // Runs the first attempt with the context's original source; answers its download task.
    std::shared_ptr<DownloadTask> start();

private:
    // Runs an attempt and passes its task to `report`. An attempt that ends inside its own call
    // is handled after that, so the task of an attempt it leads to is passed on after its own.
    std::shared_ptr<DownloadTask> runAttempt(const Source& source, const std::shared_ptr<RetryContext>& retryContext,
                                             const std::function<void(const std::shared_ptr<DownloadTask>&)>& report);
    void startAttempt(const Source& source, const std::shared_ptr<RetryContext>& retryContext);
    void onAttemptFinished(const Source& currentSource, const std::shared_ptr<RetryContext>& retryContext,
                           LumenManager::RetrieveResult result);
    void failSource(const Source& source, const LumenError& error, const std::shared_ptr<RetryContext>& retryContext);
    void finish(LumenManager::RetrieveResult result) const;

    const std::shared_ptr<LumenManager> m_manager;
    const std::shared_ptr<RetrievingContext> m_context;
    // The options' strategy when the retrieval started: it decides every retry.
    const std::shared_ptr<const RetryStrategy> m_retryStrategy;
    const LumenManager::CompletionHandler m_completionHandler;
};

} // namespace Lumen
