#pragma once

#include "Lumen/foundation/ImageLoadingProgressSideEffect.h"
#include "Lumen/retrieval/LumenManager.h"

#include <functional>
#include <memory>
#include <optional>

namespace Lumen {

class TaskPropertyAccessor;

using ImageSettingProgress = ImageLoadingProgressSideEffect::ProgressBlock;
using ImageSettingCompletion = LumenManager::CompletionHandler;

// What a load does on the GUI thread as its retrieval reports back. All but `ended` run only
// while the request is current and its object reachable.
struct ImageRequestSteps {
    // Whether the object the image is for can still show it.
    std::function<bool()> isReachable;
    // Shows a partial image of a progressive JPEG.
    std::function<void(const ImagePtr&)> showPartialImage;
    // Shows what the retrieval ended with; the request is no longer current by then.
    std::function<void(const LumenManager::RetrieveResult&)> showResult;
    // Optional; runs when any request ends, current or not.
    std::function<void()> ended;
};

// The options of an operation given option items: the manager's defaults, then `items`.
LumenParsedOptionsInfo loadingOptions(const std::optional<LumenOptionsInfo>& items);

// Makes a new request current for the image whose state is `task` and starts its retrieval
// from `LumenManager::shared()`. Progress reaches `progressBlock`, and the result `steps` and
// then `completionHandler`, on the GUI thread. A result or a partial image that is no longer
// the current request's, or whose object went, is shown nowhere: the handler gets
// `notCurrentSourceTask`. Answers the first attempt's task. GUI thread.
std::shared_ptr<DownloadTask> startImageRequest(const std::shared_ptr<TaskPropertyAccessor>& task,
                                                const Source& source, LumenParsedOptionsInfo options,
                                                ImageSettingProgress progressBlock, ImageRequestSteps steps,
                                                ImageSettingCompletion completionHandler);

// Tells the caller at once that a load did not start: `emptySource` without a source,
// `notCurrentSourceTask` when the object is already gone.
void reportEmptySource(const ImageSettingCompletion& completionHandler);
void reportUnreachable(const ImageSettingCompletion& completionHandler, const Source& source);

} // namespace Lumen
