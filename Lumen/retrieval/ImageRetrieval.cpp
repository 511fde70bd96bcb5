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
    return run(Attempt{m_context->originalSource(), nullptr}, true);
}

std::shared_ptr<DownloadTask> ImageRetrieval::run(Attempt attempt, bool isFirst)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_running) {
            m_next = std::move(attempt);
            return nullptr;
        }
        m_running = true;
    }
    std::shared_ptr<DownloadTask> firstTask;
    for (;;) {
        if (!isFirst && m_context->isCancelled()) {
            {
                std::lock_guard lock(m_mutex);
                m_running = false;
            }
            finish(std::unexpected(retrievalCancelledError()));
            return firstTask;
        }
        auto task = m_manager->retrieveImage(
            attempt.source, m_context,
            [self = shared_from_this(), source = attempt.source,
             retryContext = attempt.retryContext](LumenManager::RetrieveResult result) {
                self->onAttemptFinished(source, retryContext, std::move(result));
            });
        if (isFirst) {
            m_context->control()->firstTaskStarted(task);
            firstTask = std::move(task);
        } else {
            m_context->downloadTaskStarted(task);
        }
        std::optional<Attempt> next;
        {
            std::lock_guard lock(m_mutex);
            if (!m_next) {
                m_running = false;
                return firstTask;
            }
            next = std::exchange(m_next, std::nullopt);
        }
        // The attempt before goes after the guard: it may hold the last reference to a source.
        attempt = std::move(*next);
        isFirst = false;
    }
}

void ImageRetrieval::startAttempt(const Source& source, const std::shared_ptr<RetryContext>& retryContext)
{
    run(Attempt{source, retryContext}, false);
}

void ImageRetrieval::onAttemptFinished(const Source& currentSource, const std::shared_ptr<RetryContext>& retryContext,
                                       LumenManager::RetrieveResult result)
{
    if (result) {
        finish(std::move(result));
        return;
    }
    const LumenError error = std::move(result).error();
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
    // A cancelled download goes to the strategy too, which may start the requested source
    // again, unless the caller made the cancel.
    m_retryStrategy->retry(context, [self = shared_from_this(), currentSource, context,
                                     error](const RetryDecision& decision) {
        if (decision.kind == RetryDecision::Kind::retry && !self->m_context->isCancelled()) {
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
    // A cancel is final: neither passed on to another source nor hidden behind another error.
    if (error.isTaskCancelled() || m_context->isCancelled()) {
        finish(std::unexpected(error.isTaskCancelled() ? error : retrievalCancelledError()));
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
