#pragma once

#include "Lumen/views/loading/SharedImageLoader.h"

#include <memory>
#include <optional>

namespace Lumen {

class ImagePropertyAccessor;

// The loading operations for one image of an object that is not an image view: what the
// `lm` wrappers of the image components and text attachments offer, and a button offers for
// each of its two images. The object is held weakly. GUI thread only.
class ImageSlotLoading {
public:
    using Identifier = Source::Identifier::Value;

    ImageSlotLoading(std::shared_ptr<ImagePropertyAccessor> accessor, KeepCurrentImage keep);

    // Loads the image with the manager's default options followed by `options`, showing
    // `placeholder` meanwhile: no placeholder clears the image, unless
    // `keepCurrentImageWhileLoading` keeps one. The handler runs on the GUI thread, at once
    // for a missing source. Answers the first attempt's download task; null when there is
    // none (a cache hit, a data provider).
    std::shared_ptr<DownloadTask> setImage(const SourceArgument& source, const ImagePtr& placeholder = nullptr,
                                           const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                           ImageSettingProgress progressBlock = {},
                                           ImageSettingCompletion completionHandler = {}) const;
    // With options already parsed: the manager's defaults are not added.
    std::shared_ptr<DownloadTask> setImage(const SourceArgument& source, const ImagePtr& placeholder,
                                           LumenParsedOptionsInfo options, ImageSettingProgress progressBlock = {},
                                           ImageSettingCompletion completionHandler = {}) const;
    // Cancels the attempt the last request runs, and any it would start next.
    void cancelDownloadTask() const;
    // The download of the attempt the current request runs; null when there is none.
    std::shared_ptr<DownloadTask> imageTask() const;

    // The current request's identifier; absent while none is current.
    std::optional<Identifier> taskIdentifier() const;
    // Another value (or none) makes the running request stale.
    void setTaskIdentifier(std::optional<Identifier> identifier) const;
    // The image last set, as it was set.
    ImagePtr image() const;

private:
    std::shared_ptr<ImagePropertyAccessor> m_accessor;
    KeepCurrentImage m_keep;
};

} // namespace Lumen
