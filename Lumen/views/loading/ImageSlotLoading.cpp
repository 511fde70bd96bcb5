#include "Lumen/views/loading/ImageSlotLoading.h"

#include "Lumen/views/loading/ImagePropertyAccessor.h"
#include "Lumen/views/loading/TaskPropertyAccessor.h"

#include <utility>

namespace Lumen {

ImageSlotLoading::ImageSlotLoading(std::shared_ptr<ImagePropertyAccessor> accessor, KeepCurrentImage keep)
    : m_accessor(std::move(accessor))
    , m_keep(keep)
{
}

std::shared_ptr<DownloadTask> ImageSlotLoading::setImage(const SourceArgument& source, const ImagePtr& placeholder,
                                                         const std::optional<LumenOptionsInfo>& options,
                                                         ImageSettingProgress progressBlock,
                                                         ImageSettingCompletion completionHandler) const
{
    return setImage(source, placeholder, loadingOptions(options), std::move(progressBlock),
                    std::move(completionHandler));
}

std::shared_ptr<DownloadTask> ImageSlotLoading::setImage(const SourceArgument& source, const ImagePtr& placeholder,
                                                         LumenParsedOptionsInfo options, ImageSettingProgress progressBlock,
                                                         ImageSettingCompletion completionHandler) const
{
    return loadImage(m_accessor, source, placeholder, std::move(options), std::move(progressBlock),
                     std::move(completionHandler), m_keep);
}

void ImageSlotLoading::cancelDownloadTask() const
{
    if (const auto task = m_accessor->taskAccessor(false))
        task->cancelDownloadTask();
}

std::shared_ptr<DownloadTask> ImageSlotLoading::imageTask() const
{
    const auto task = m_accessor->taskAccessor(false);
    return task ? task->imageTask() : nullptr;
}

std::optional<ImageSlotLoading::Identifier> ImageSlotLoading::taskIdentifier() const
{
    const auto task = m_accessor->taskAccessor(false);
    return task ? task->taskIdentifier() : std::nullopt;
}

void ImageSlotLoading::setTaskIdentifier(std::optional<Identifier> identifier) const
{
    if (const auto task = m_accessor->taskAccessor(identifier.has_value()))
        task->setTaskIdentifier(identifier);
}

ImagePtr ImageSlotLoading::image() const
{
    return m_accessor->image();
}

} // namespace Lumen
