#include "Lumen/views/loading/SharedImageLoader.h"

#include "Lumen/views/loading/ImagePropertyAccessor.h"
#include "Lumen/views/loading/TaskPropertyAccessor.h"

#include <utility>

namespace Lumen {

namespace {

bool keepsShownImage(const ImagePropertyAccessor& accessor, const LumenParsedOptionsInfo& options,
                     KeepCurrentImage keep)
{
    if (!options.keepCurrentImageWhileLoading)
        return false;
    return keep == KeepCurrentImage::unasked || accessor.showsImage();
}

} // namespace

std::shared_ptr<DownloadTask> loadImage(const std::shared_ptr<ImagePropertyAccessor>& accessor,
                                        const SourceArgument& source, const ImagePtr& placeholder,
                                        LumenParsedOptionsInfo options, ImageSettingProgress progressBlock,
                                        ImageSettingCompletion completionHandler, KeepCurrentImage keep)
{
    if (!source.source()) {
        accessor->setImage(placeholder);
        if (const auto task = accessor->taskAccessor(false))
            task->setTaskIdentifier(std::nullopt);
        reportEmptySource(completionHandler);
        return nullptr;
    }
    const auto task = accessor->taskAccessor(true);
    if (!task || !accessor->isReachable()) {
        reportUnreachable(completionHandler, *source.source());
        return nullptr;
    }
    if (!keepsShownImage(*accessor, options, keep))
        accessor->setImage(placeholder);

    const std::optional<ImagePtr> failureImage = options.onFailureImage;
    ImageRequestSteps steps{
        .isReachable = [accessor] { return accessor->isReachable(); },
        .showPartialImage = [accessor](const ImagePtr& image) { accessor->setImage(image); },
        .showResult =
            [accessor, failureImage](const LumenManager::RetrieveResult& result) {
                if (result)
                    accessor->setImage(result->image);
                else if (failureImage)
                    accessor->setImage(*failureImage);
            },
        .ended = {},
    };
    return startImageRequest(task, *source.source(), std::move(options), std::move(progressBlock), std::move(steps),
                             std::move(completionHandler));
}

} // namespace Lumen
