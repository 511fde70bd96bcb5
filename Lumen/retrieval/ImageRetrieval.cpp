#include "Lumen/retrieval/ImageRetrieval.h"

#include "Lumen/download/RetryContext.h"
#include "Lumen/download/RetryStrategy.h"
#include "Lumen/retrieval/RetrievalErrors.h"
#include "Lumen/retrieval/RetrievingContext.h"

#include <atomic>
#include <optional>
#include <thread>
#include <utility>

namespace Lumen {

ImageRetrieval::ImageRetrieval(std::shared_ptr<LumenManager> manager, std::shared_ptr<RetrievingContext> context,
                               std::shared_ptr<const RetryStrategy> retryStrategy,
                               LumenManager::CompletionHandler completionHandler)
    : m_manager(std::move(manager))
    , m_context(std::move(context))
    , m_retryStrategy(std::move(retryStrategy))
    , m_completionHandler(std::move(completionHandler))
{
}

namespace {

// The call that starts one attempt, as seen from the attempt's end: an end on the calling thread
// before the call has returned came from inside it. Only that thread touches the answer kept.
struct AttemptCall {
    const std::thread::id thread = std::this_thread::get_id();
    std::atomic<bool> returned{false};
    std::optional<LumenManager::RetrieveResult> endedInside;

    bool isEnclosing() const { return std::this_thread::get_id() == thread && !returned.load(); }
};

} // namespace

std::shared_ptr<DownloadTask> ImageRetrieval::start()
{
    return runAttempt(m_context->originalSource(), nullptr,
                      [this](const std::shared_ptr<DownloadTask>& task) { m_context->cancellation()->firstTaskStarted(task); });
}

std::shared_ptr<DownloadTask> ImageRetrieval::runAttempt(
    const Source& source, const std::shared_ptr<RetryContext>& retryContext,
    const std::function<void(const std::shared_ptr<DownloadTask>&)>& report)
{
    const auto call = std::make_shared<AttemptCall>();
    auto task = m_manager->retrieveImage(
        source, m_context, [self = shared_from_this(), source, retryContext, call](LumenManager::RetrieveResult result) {
            if (call->isEnclosing())
                call->endedInside = std::move(result);
            else
                self->onAttemptFinished(source, retryContext, std::move(result));
        });
    report(task);
    call->returned = true;
    if (call->endedInside)
        onAttemptFinished(source, retryContext, std::move(*call->endedInside));
    return task;
}

void ImageRetrieval::startAttempt(const Source& source, const std::shared_ptr<RetryContext>& retryContext)
{
    if (m_context->isCancelled()) {
        finish(std::unexpected(retrievalCancelledError()));
        return;
    }
    runAttempt(source, retryContext, [this](const std::shared_ptr<DownloadTask>& task) { m_context->downloadTaskStarted(task); });
}

void ImageRetrieval::onAttemptFinished(const Source& currentSource, const std::shared_ptr<RetryContext>& retryContext,
                                       LumenManager::RetrieveResult result)
{
    if (result) {
        finish(std::move(result));
        return;
    }
    const LumenError error = std::move(result).error();
    // A retrieval cancelled as a whole takes no further step.
    if (m_context->isCancelled()) {
        finish(std::unexpected(error.isTaskCancelled() ? error : retrievalCancelledError()));
        return;
    }
    // A cancelled download still goes to the strategy, which may start the requested source
    // again; once it stops, the cancel is final.
    if (!m_retryStrategy) {
        failSource(currentSource, error, retryContext);
        return;
    }

    std::shared_ptr<RetryContext> context = retryContext;
    if (context) {
        context->increaseRetryCount();
        context->setError(error);
    } else {
        context = std::make_shared<RetryContext>(m_context->originalSource(), error);
    }
    m_retryStrategy->retry(context, [self = shared_from_this(), currentSource, context,
                                     error](const RetryDecision& decision) {
        if (decision.kind == RetryDecision::Kind::retry) {
            context->setUserInfo(decision.userInfo);
            // A retry always starts again from the requested source.
            self->startAttempt(self->m_context->originalSource(), context);
            return;
        }
        self->failSource(currentSource, error, context);
    });
}

void ImageRetrieval::failSource(const Source& source, const LumenError& error,
                                const std::shared_ptr<RetryContext>& retryContext)
{
    if (error.isTaskCancelled()) {
        finish(std::unexpected(error));
        return;
    }
    if (error.isLowDataModeConstrained()) {
        // Used at most once, and not counted as a source given up.
        if (auto lowDataModeSource = m_context->takeLowDataModeSource())
            startAttempt(*lowDataModeSource, retryContext);
        else
            finish(std::unexpected(error));
        return;
    }

    if (auto alternative = m_context->takeNextAlternativeSource()) {
        m_context->addPropagationError(PropagationError{source, error});
        startAttempt(*alternative, retryContext);
        return;
    }
    auto givenUp = m_context->propagationErrors();
    if (givenUp.empty()) {
        finish(std::unexpected(error));
        return;
    }
    givenUp.push_back(PropagationError{source, error});
    finish(std::unexpected(LumenError(LumenError::ImageSettingErrorReason::AlternativeSourcesExhausted{
        std::make_shared<const std::vector<PropagationError>>(std::move(givenUp))})));
}

void ImageRetrieval::finish(LumenManager::RetrieveResult result) const
{
    if (m_completionHandler)
        m_completionHandler(std::move(result));
}

} // namespace Lumen
