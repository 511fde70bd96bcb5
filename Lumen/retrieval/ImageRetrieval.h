#pragma once

#include "Lumen/retrieval/LumenManager.h"

#include <memory>
#include <mutex>
#include <optional>

namespace Lumen {

class RetryContext;
class RetryStrategy;

// One retrieval as a whole: its attempts one at a time, the retry strategy's decisions, the
// low-data-mode source and the alternative sources, ending in exactly one completion. Once the
// caller has cancelled, no further attempt starts, whatever the strategy answers. Kept alive by
// its pending attempt or decision.
class ImageRetrieval : public std::enable_shared_from_this<ImageRetrieval> {
public:
    ImageRetrieval(std::shared_ptr<LumenManager> manager, std::shared_ptr<RetrievingContext> context,
                   std::shared_ptr<const RetryStrategy> retryStrategy,
                   LumenManager::CompletionHandler completionHandler);

    // Runs the first attempt with the context's original source; answers its download task.
    std::shared_ptr<DownloadTask> start();

private:
    struct Attempt {
        Source source;
        std::shared_ptr<RetryContext> retryContext;
    };

    // Runs `attempt`, unless a call runs one already, and then every attempt asked for while it
    // ran, one after another in this call: an attempt that ends inside its own call never starts
    // the next one a frame deeper, no attempt starts before the call of the one before has
    // returned, and the caller hears of their tasks in the order they started. A later attempt
    // stops there when the caller has cancelled. Answers the first attempt's task when `isFirst`.
    std::shared_ptr<DownloadTask> run(Attempt attempt, bool isFirst);
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

    std::mutex m_mutex;
    bool m_running = false;
    std::optional<Attempt> m_next;
};

} // namespace Lumen
