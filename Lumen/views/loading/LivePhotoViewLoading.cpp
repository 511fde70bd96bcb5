#include "Lumen/views/loading/LivePhotoViewLoading.h"

#include "Lumen/foundation/AttachedValue.h"
#include "Lumen/retrieval/LivePhotoRequest.h"
#include "Lumen/views/LivePhotoView.h"
#include "Lumen/views/loading/GuiThreadOwned.h"
#include "Lumen/views/loading/ImageRequest.h"
#include "Lumen/views/loading/LivePhotoSettingTask.h"
#include "Lumen/views/loading/TaskPropertyAccessor.h"

#include <QPointer>

#include <utility>

namespace Lumen {

namespace {

using ImageSetting = LumenError::ImageSettingErrorReason;

struct LivePhotoViewState {
    TaskPropertyHolder task;
    QSizeF targetSize{0, 0};
    ContentMode contentMode = ContentMode::aspectFit;
};

constexpr AttachedKey<LivePhotoViewState> livePhotoViewStateKey{"lumen.livePhotoView"};

std::shared_ptr<LivePhotoViewState> viewState(LivePhotoView* view, bool create)
{
    if (!view)
        return nullptr;
    return create ? attachedValueOrMake(*view, livePhotoViewStateKey) : attachedValue(*view, livePhotoViewStateKey);
}

// One request as its callbacks see it, on the GUI thread.
struct LivePhotoRequest {
    QPointer<LivePhotoView> view;
    std::shared_ptr<TaskPropertyAccessor> task;
    Source::Identifier::Value identifier;
    LivePhotoSource source;
    LumenParsedOptionsInfo options;
    QSizeF targetSize;
    ContentMode contentMode;
    LivePhotoSettingCompletion completionHandler;
    std::shared_ptr<LivePhotoSettingTask> handle;

    bool isCurrent() const { return !view.isNull() && task->isCurrent(identifier); }

    void complete(LivePhotoSettingResult result) const
    {
        if (completionHandler)
            completionHandler(std::move(result));
    }
    void completeStale(std::optional<RetrieveLivePhotoResult> result, std::optional<UnderlyingError> error) const
    {
        complete(std::unexpected(LumenError(ImageSetting::NotCurrentLivePhotoSourceTask{
            .result = result ? std::make_shared<const RetrieveLivePhotoResult>(std::move(*result)) : nullptr,
            .error = std::move(error),
            .source = source})));
    }
    // Answers whether the load was cancelled, and then ends it so.
    bool completeIfCancelled() const
    {
        if (!handle->isCancelled())
            return false;
        complete(std::unexpected(LumenError::requestError(
            LumenError::RequestErrorReason::LivePhotoTaskCancelled{.source = source})));
        return true;
    }
};

void showAssembled(const std::shared_ptr<const LivePhotoRequest>& request, LivePhotoLoadingInfoResult loadingInfo,
                   LivePhotoResult assembled)
{
    RetrieveLivePhotoResult result{.loadingInfo = std::move(loadingInfo),
                                   .livePhoto = assembled ? std::optional(*assembled) : std::nullopt};
    if (!request->isCurrent()) {
        request->completeStale(std::move(result), std::nullopt);
        return;
    }
    if (request->completeIfCancelled())
        return;
    request->view->setLivePhoto(result.livePhoto);
    if (!assembled) {
        // Files that do not make a live photo now never will: fetch them anew next time.
        LumenManager::shared()->removeLivePhotoFiles(request->source, request->options);
        request->complete(std::unexpected(LumenError(ImageSetting::LivePhotoResultError{
            .result = std::make_shared<const RetrieveLivePhotoResult>(std::move(result)),
            .error = assembled.error().underlyingError(),
            .source = request->source})));
        return;
    }
    request->complete(std::move(result));
}

// What a failed retrieval reports: the library's own errors as they are; a data provider's own
// error, which is no error of the library, as a failed result carrying it.
LumenError retrievalFailure(LumenError error, const LivePhotoSource& source)
{
    const auto* provider = error.reasonAs<ImageSetting::DataProviderError>();
    if (!provider)
        return error;
    return ImageSetting::LivePhotoResultError{.result = nullptr, .error = provider->error, .source = source};
}

void filesRetrieved(const std::shared_ptr<const LivePhotoRequest>& request, LumenManager::LivePhotoResult retrieved)
{
    // A failure is the retrieval's own, a cancelled download's included.
    if (!retrieved) {
        if (!request->isCurrent())
            request->completeStale(std::nullopt, UnderlyingError::wrapping(retrieved.error()));
        else
            request->complete(std::unexpected(retrievalFailure(std::move(retrieved.error()), request->source)));
        return;
    }
    if (!request->isCurrent()) {
        request->completeStale(RetrieveLivePhotoResult{.loadingInfo = std::move(*retrieved), .livePhoto = {}},
                               std::nullopt);
        return;
    }
    if (request->completeIfCancelled())
        return;
    const std::vector<QUrl> fileURLs = retrieved->fileURLs;
    requestLivePhoto(fileURLs, request->targetSize, request->contentMode,
                     [request, loadingInfo = std::move(*retrieved)](LivePhotoResult assembled) mutable {
                         showAssembled(request, std::move(loadingInfo), std::move(assembled));
                     });
}

} // namespace

std::shared_ptr<LivePhotoSettingTask> LumenWrapper<LivePhotoView*>::setImage(
    const std::optional<LivePhotoSource>& source, const std::optional<LumenOptionsInfo>& options,
    LivePhotoSettingCompletion completionHandler) const
{
    LivePhotoView* view = base();
    if (!source) {
        if (view) {
            view->setLivePhoto(std::nullopt);
            if (const auto state = viewState(view, false))
                state->task.accessor()->setTaskIdentifier(std::nullopt);
        }
        if (completionHandler)
            completionHandler(std::unexpected(LumenError::imageSettingError(ImageSetting::EmptySource{})));
        return nullptr;
    }
    if (!view) {
        if (completionHandler)
            completionHandler(std::unexpected(LumenError(
                ImageSetting::NotCurrentLivePhotoSourceTask{.result = nullptr, .error = std::nullopt, .source = *source})));
        return nullptr;
    }

    const auto state = viewState(view, true);
    const auto handle = std::make_shared<LivePhotoSettingTask>();
    const Identifier identifier = Source::Identifier::next();
    const std::shared_ptr<TaskPropertyAccessor> task = state->task.accessor();
    task->setTaskIdentifier(identifier);

    // The view and the handler are touched on the GUI thread only, whatever queue the caller names.
    LumenOptionsInfo items = options.value_or(LumenOptionsInfo());
    items.push_back(Option::CallbackQueue{CallbackQueue::mainCurrentOrAsync()});
    const auto request = makeGuiThreadOwned(LivePhotoRequest{.view = view,
                                                             .task = task,
                                                             .identifier = identifier,
                                                             .source = *source,
                                                             .options = loadingOptions(items),
                                                             .targetSize = state->targetSize,
                                                             .contentMode = state->contentMode,
                                                             .completionHandler = std::move(completionHandler),
                                                             .handle = handle});
    // The load runs on a later turn, so its handler never runs before this returns.
    CallbackQueue::asyncOnMain([request, items = std::move(items)] {
        if (request->completeIfCancelled())
            return;
        const auto task = request->task;
        const auto identifier = request->identifier;
        request->handle->setDownloads(LumenManager::shared()->retrieveLivePhoto(
            request->source, items, [task, identifier] { return task->isCurrent(identifier); },
            [request](LumenManager::LivePhotoResult retrieved) { filesRetrieved(request, std::move(retrieved)); }));
    });
    return handle;
}

std::shared_ptr<LivePhotoSettingTask> LumenWrapper<LivePhotoView*>::setImage(
    const std::vector<QUrl>& urls, const std::optional<LumenOptionsInfo>& options,
    LivePhotoSettingCompletion completionHandler) const
{
    return setImage(std::optional(LivePhotoSource::fromURLs(urls)), options, std::move(completionHandler));
}

std::optional<LumenWrapper<LivePhotoView*>::Identifier> LumenWrapper<LivePhotoView*>::taskIdentifier() const
{
    const auto state = viewState(base(), false);
    return state ? state->task.accessor()->taskIdentifier() : std::nullopt;
}

QSizeF LumenWrapper<LivePhotoView*>::targetSize() const
{
    const auto state = viewState(base(), false);
    return state ? state->targetSize : QSizeF(0, 0);
}

void LumenWrapper<LivePhotoView*>::setTargetSize(QSizeF size) const
{
    if (const auto state = viewState(base(), true))
        state->targetSize = size;
}

ContentMode LumenWrapper<LivePhotoView*>::contentMode() const
{
    const auto state = viewState(base(), false);
    return state ? state->contentMode : ContentMode::aspectFit;
}

void LumenWrapper<LivePhotoView*>::setContentMode(ContentMode mode) const
{
    if (const auto state = viewState(base(), true))
        state->contentMode = mode;
}

} // namespace Lumen
