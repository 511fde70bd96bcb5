#include "Lumen/views/LMImageBinder.h"

#include "Lumen/download/DownloadTask.h"
#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/LibraryDefaults.h"
#include "Lumen/retrieval/RetrievalControl.h"
#include "Lumen/views/LMImageContext.h"
#include "Lumen/views/LMImageProgress.h"

namespace Lumen {
namespace {

// The transfer priority of a view that has gone out of sight.
constexpr float lowTaskPriority = 0.25f;

} // namespace

LMImageBinder::LMImageBinder(std::function<void()> changed, QObject* parent)
    : QObject(parent)
    , m_changed(std::move(changed))
{
}

std::shared_ptr<DownloadTask> LMImageBinder::downloadTask() const
{
    return m_control ? m_control->currentTask() : nullptr;
}

LMImageProgress& LMImageBinder::progress()
{
    if (!m_progress)
        m_progress = new LMImageProgress(this);
    return *m_progress;
}

void LMImageBinder::start(const std::shared_ptr<LMImageContext>& context)
{
    const Generation generation = ++m_generation;
    if (!context->source()) {
        // The hook hears of it at once, before the view shows the failure; it may start another
        // load, or take the view away.
        const QPointer<LMImageBinder> self(this);
        context->onFailureDelegate().call(LumenError::imageSettingError(LumenError::ImageSettingErrorReason::EmptySource{}));
        if (!self || m_generation != generation)
            return;
        m_loading = false;
        showFailure(*context);
        return;
    }

    m_loading = true;
    m_loaded = false;
    // A progress made before the first load has counted nothing yet and is kept.
    if (m_progress && generation > 1) {
        // A placeholder may still hold it until it is rebuilt.
        m_progress->deleteLater();
        m_progress = nullptr;
        m_changed();
    }

    const QPointer<LMImageBinder> self(this);
    // Progress is worth following only for a placeholder or a progress hook.
    LumenManager::ProgressBlock progressBlock;
    if (context->placeholder() || context->onProgressDelegate().isSet()) {
        progressBlock = [self, generation, context](std::int64_t receivedSize, std::int64_t totalSize) {
            CallbackQueue::currentOrAsyncOnMain(
                [self, generation, context, progress = DownloadProgress{receivedSize, totalSize}] {
                    if (self)
                        self->updateProgress(generation, progress, *context);
                });
        };
    }
    auto completion = [self, generation, context](LumenManager::RetrieveResult result) {
        CallbackQueue::currentOrAsyncOnMain([self, generation, context, result = std::move(result)]() mutable {
            if (self)
                self->finish(generation, std::move(result), context);
        });
    };
    // A cancel or a priority reaches whichever attempt runs, and a cancel stops the load.
    m_control = std::make_shared<RetrievalControl>();
    const std::shared_ptr<const LumenParsedOptionsInfo> options = context->sharedOptions();
    const auto& manager = LumenManager::shared();
    if (progressBlock)
        manager->retrieveImage(*context->source(), LumenManager::withProgress(*options, std::move(progressBlock)), {}, {},
                               std::move(completion), m_control);
    else
        manager->retrieveImage(*context->source(), *options, {}, {}, std::move(completion), m_control);
}

void LMImageBinder::startSoon(const std::shared_ptr<LMImageContext>& context)
{
    m_loading = true;
    CallbackQueue::asyncOnMain([self = QPointer<LMImageBinder>(this), generation = m_generation, context] {
        if (self && self->m_generation == generation && self->m_loading)
            self->start(context);
    });
}

void LMImageBinder::cancel()
{
    ++m_generation;
    if (m_control)
        m_control->cancel();
    m_control.reset();
    m_loading = false;
}

void LMImageBinder::restorePriority()
{
    setPriority(Defaults::downloadPriority);
}

void LMImageBinder::lowerPriority()
{
    setPriority(lowTaskPriority);
}

void LMImageBinder::setPriority(float priority)
{
    if (m_control && m_loading)
        m_control->setPriority(priority);
}

void LMImageBinder::updateProgress(Generation generation, DownloadProgress progress, const LMImageContext& context)
{
    if (generation != m_generation)
        return;
    this->progress().update(progress.receivedSize, progress.totalSize);
    context.onProgressDelegate().call(progress);
}

void LMImageBinder::finish(Generation generation, LumenManager::RetrieveResult result,
                           const std::shared_ptr<LMImageContext>& context)
{
    if (generation != m_generation) {
        // Abandoned: what it brings is shown nowhere, so it is no success.
        if (!result)
            report(std::move(result), context);
        return;
    }
    m_control.reset();
    m_loading = false;
    if (result) {
        m_fadingIn = context->fadeDuration(result->cacheType);
        m_loaded = true;
        m_loadedImage = result->image;
        m_changed();
        m_fadingIn.reset();
    } else {
        showFailure(*context);
    }
    report(std::move(result), context);
}

void LMImageBinder::showFailure(const LMImageContext& context)
{
    // A failure image given as "no image" leaves the placeholder in place.
    if (const std::optional<ImagePtr> failureImage = context.sharedOptions()->onFailureImage)
        m_loadedImage = *failureImage;
    m_loaded = true;
    m_changed();
}

void LMImageBinder::report(LumenManager::RetrieveResult result, const std::shared_ptr<LMImageContext>& context)
{
    if (!(result ? context->onSuccessDelegate().isSet() : context->onFailureDelegate().isSet()))
        return;
    // Always on a later turn, after the view has been brought up to date.
    CallbackQueue::asyncOnMain([result = std::move(result), context] {
        if (result)
            context->onSuccessDelegate().call(*result);
        else
            context->onFailureDelegate().call(result.error());
    });
}

} // namespace Lumen
