#pragma once

#include "Lumen/foundation/LumenWrapper.h"
#include "Lumen/views/loading/ImageComponentWrappers.h"
#include "Lumen/views/loading/ImageSlotLoading.h"

class QAbstractButton;

namespace Lumen {

// A button's `lm` wrapper loads its image (the icon's Off state) and its alternate image (the
// On state) independently: each has its own request, so loading one never makes the other's
// stale, and each cancel reaches only its own. The operations are those of ImageSlotLoading,
// for the image under their own names and for the alternate image as below. A tool button's
// `lm` is an image component's (one icon): wrap it as a QAbstractButton for the two images.
template<>
class LumenWrapper<QAbstractButton*> : public LumenWrapperBase<QAbstractButton*>, private ImageSlotLoading {
public:
    explicit LumenWrapper(QAbstractButton* button);

    using ImageSlotLoading::Identifier;
    using ImageSlotLoading::image;
    using ImageSlotLoading::imageTask;
    using ImageSlotLoading::setImage;
    using ImageSlotLoading::setTaskIdentifier;
    using ImageSlotLoading::taskIdentifier;
    void cancelImageDownloadTask() const { cancelDownloadTask(); }

    std::shared_ptr<DownloadTask> setAlternateImage(const SourceArgument& source, const ImagePtr& placeholder = nullptr,
                                                    const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                                    ImageSettingProgress progressBlock = {},
                                                    ImageSettingCompletion completionHandler = {}) const;
    std::shared_ptr<DownloadTask> setAlternateImage(const SourceArgument& source, const ImagePtr& placeholder,
                                                    LumenParsedOptionsInfo options, ImageSettingProgress progressBlock = {},
                                                    ImageSettingCompletion completionHandler = {}) const;
    void cancelAlternateImageDownloadTask() const { m_alternateImage.cancelDownloadTask(); }
    std::optional<Identifier> alternateTaskIdentifier() const { return m_alternateImage.taskIdentifier(); }
    void setAlternateTaskIdentifier(std::optional<Identifier> identifier) const
    {
        m_alternateImage.setTaskIdentifier(identifier);
    }
    ImagePtr alternateImage() const { return m_alternateImage.image(); }
    std::shared_ptr<DownloadTask> alternateImageTask() const { return m_alternateImage.imageTask(); }

private:
    ImageSlotLoading m_alternateImage;
};

inline LumenWrapper<QAbstractButton*> lm(QAbstractButton* button)
{
    return LumenWrapper<QAbstractButton*>(button);
}

} // namespace Lumen
