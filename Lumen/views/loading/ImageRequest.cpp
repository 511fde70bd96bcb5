#include "Lumen/views/loading/ImageRequest.h"

#include "Lumen/views/loading/GuiThreadOwned.h"
#include "Lumen/views/loading/TaskPropertyAccessor.h"

#include <utility>

namespace Lumen {

namespace {

using Identifier = TaskPropertyAccessor::Identifier;
using ImageSetting = LumenError::ImageSettingErrorReason;

// What the request's callbacks keep for the GUI thread.
struct RequestSteps {
    ImageRequestSteps steps;
    ImageSettingCompletion completionHandler;
};

LumenError notCurrentSourceTask(const LumenManager::RetrieveResult* result, const Source& source)
{
    ImageSetting::NotCurrentSourceTask reason{.result = nullptr, .error = std::nullopt, .source = source};
    if (result && result->has_value())
        reason.result = std::make_shared<const RetrieveImageResult>(**result);
    else if (result)
        reason.error = UnderlyingError::wrapping(result->error());
    return LumenError::imageSettingError(std::move(reason));
}

void finish(const RequestSteps& request, TaskPropertyAccessor& task, Identifier identifier, const Source& source,
            LumenManager::RetrieveResult result)
{
    const ImageRequestSteps& steps = request.steps;
    if (steps.ended)
        steps.ended();
    if (!task.isCurrent(identifier) || !steps.isReachable()) {
        if (request.completionHandler)
            request.completionHandler(std::unexpected(notCurrentSourceTask(&result, source)));
        return;
    }
    task.endRequest();
    steps.showResult(result);
    if (request.completionHandler)
        request.completionHandler(std::move(result));
}

} // namespace

LumenParsedOptionsInfo loadingOptions(const std::optional<LumenOptionsInfo>& items)
{
    LumenOptionsInfo all = LumenManager::shared()->defaultOptions();
    if (items)
        all.insert(all.end(), items->begin(), items->end());
    return LumenParsedOptionsInfo(all);
}

std::shared_ptr<DownloadTask> startImageRequest(const std::shared_ptr<TaskPropertyAccessor>& task,
                                                const Source& source, LumenParsedOptionsInfo options,
                                                ImageSettingProgress progressBlock, ImageRequestSteps steps,
                                                ImageSettingCompletion completionHandler)
{
    const Identifier identifier = Source::Identifier::next();
    auto control = task->beginRequest(identifier);
    const auto request = makeGuiThreadOwned(RequestSteps{std::move(steps), std::move(completionHandler)});

    auto showPartialImage = [request, task, identifier](const ImagePtr& image) {
        CallbackQueue::currentOrAsyncOnMain([request, task, identifier, image] {
            if (task->isCurrent(identifier) && request->steps.isReachable())
                request->steps.showPartialImage(image);
        });
    };
    auto isCurrent = [task, identifier] { return task->isCurrent(identifier); };
    auto completion = [request, task, identifier, source](LumenManager::RetrieveResult result) {
        CallbackQueue::currentOrAsyncOnMain([request, task, identifier, source, result = std::move(result)]() mutable {
            finish(*request, *task, identifier, source, std::move(result));
        });
    };
    return LumenManager::shared()->retrieveImage(source, LumenManager::withProgress(std::move(options), std::move(progressBlock)),
                                                 std::move(showPartialImage), std::move(isCurrent),
                                                 std::move(completion), std::move(control));
}

void reportEmptySource(const ImageSettingCompletion& completionHandler)
{
    if (completionHandler)
        completionHandler(std::unexpected(LumenError::imageSettingError(ImageSetting::EmptySource{})));
}

void reportUnreachable(const ImageSettingCompletion& completionHandler, const Source& source)
{
    if (completionHandler)
        completionHandler(std::unexpected(notCurrentSourceTask(nullptr, source)));
}

} // namespace Lumen
