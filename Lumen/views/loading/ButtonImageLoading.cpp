#include "Lumen/views/loading/ButtonImageLoading.h"

#include "Lumen/views/loading/ButtonImageAccessor.h"

#include <utility>

namespace Lumen {

LumenWrapper<QAbstractButton*>::LumenWrapper(QAbstractButton* button)
    : LumenWrapperBase(button)
    , ImageSlotLoading(std::make_shared<ButtonImageAccessor>(button, ButtonImageAccessor::Slot::image),
                       KeepCurrentImage::whenShown)
    , m_alternateImage(std::make_shared<ButtonImageAccessor>(button, ButtonImageAccessor::Slot::alternateImage),
                       KeepCurrentImage::whenShown)
{
}

std::shared_ptr<DownloadTask> LumenWrapper<QAbstractButton*>::setAlternateImage(
    const SourceArgument& source, const ImagePtr& placeholder, const std::optional<LumenOptionsInfo>& options,
    ImageSettingProgress progressBlock, ImageSettingCompletion completionHandler) const
{
    return m_alternateImage.setImage(source, placeholder, options, std::move(progressBlock),
                                     std::move(completionHandler));
}

std::shared_ptr<DownloadTask> LumenWrapper<QAbstractButton*>::setAlternateImage(
    const SourceArgument& source, const ImagePtr& placeholder, LumenParsedOptionsInfo options,
    ImageSettingProgress progressBlock, ImageSettingCompletion completionHandler) const
{
    return m_alternateImage.setImage(source, placeholder, std::move(options), std::move(progressBlock),
                                     std::move(completionHandler));
}

} // namespace Lumen
