#include "Lumen/retrieval/ImageRetrieval.h"

#include "Lumen/download/RetryContext.h"
#include "Lumen/download/RetryStrategy.h"
#include "Lumen/retrieval/RetrievalErrors.h"
#include "Lumen/retrieval/RetrievingContext.h"

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

std::shared_ptr<DownloadTask> ImageRetrieval::start()
{
    auto task = runAttempt(m_context->originalSource(), nullptr);
    m_context->cancellation()->firstTaskStarted(task);
    return task;
}

std::shared_ptr<DownloadTask> ImageRetrieval::runAttempt(const Source& source,
                                                         const std::shared_ptr<RetryContext>& retryContext)
{
    return m_manager->retrieveImage(source, m_context,
                                    [self = shared_from_this(), source, retryContext](LumenManager::RetrieveResult result) {
                                        self->onAttemptFinished(source, retryContext, std::move(result));
                                    });
}

void ImageRetrieval::startAttempt(const Source& source, const std::shared_ptr<RetryContext>& retryContext)
{
    if (m_context->isCancelled()) {
        finish(std::unexpected(retrievalCancelledError()));
        return;
    }
    m_context->downloadTaskStarted(runAttempt(source, retryContext));
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
