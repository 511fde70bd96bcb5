#pragma once

#include "Lumen/foundation/LumenWrapper.h"
#include "Lumen/views/IndicatorType.h"
#include "Lumen/views/loading/ImageRequest.h"
#include "Lumen/views/loading/SourceArgument.h"

#include <memory>
#include <optional>

class QLabel;

namespace Lumen {

class AnimatedImageView;
class Indicator;
class Placeholder;

// An image view's `lm` wrapper: loads an image into a QLabel, which shows it still (an
// animation's first frame), or into an AnimatedImageView, which plays it from its frame
// source; with a placeholder (an image or a widget over the view) and a loading indicator
// meanwhile. The view is held weakly; its request state, placeholder and indicator are kept
// on it. A new request makes the running one stale without cancelling it. GUI thread only; on
// a null or destroyed view the getters answer the defaults and the setters do nothing.
template<class View>
class ImageViewLoading : public LumenWrapperBase<View*> {
public:
    using Identifier = Source::Identifier::Value;

    using LumenWrapperBase<View*>::LumenWrapperBase;

    // Loads the image with the manager's default options followed by `options`. The
    // placeholder replaces what the view shows (no placeholder blanks it), unless
    // `keepCurrentImageWhileLoading` keeps a shown image or placeholder; it goes when the
    // image arrives, and on failure when `onFailureImage` is set. The handler runs on the GUI
    // thread, at once for a missing source. Answers the first attempt's download task; null
    // when there is none (a cache hit, a data provider).
    std::shared_ptr<DownloadTask> setImage(const SourceArgument& source,
                                           std::shared_ptr<Placeholder> placeholder = nullptr,
                                           const std::optional<LumenOptionsInfo>& options = std::nullopt,
                                           ImageSettingProgress progressBlock = {},
                                           ImageSettingCompletion completionHandler = {}) const;
    // With options already parsed: the manager's defaults are not added.
    std::shared_ptr<DownloadTask> setImage(const SourceArgument& source, std::shared_ptr<Placeholder> placeholder,
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

    std::shared_ptr<Placeholder> placeholder() const;
    // Takes the current placeholder off the view and puts this one on; none blanks the view.
    void setPlaceholder(std::shared_ptr<Placeholder> placeholder) const;

    IndicatorType indicatorType() const;
    // Installs a new indicator of this type, replacing the current one.
    void setIndicatorType(IndicatorType type) const;
    std::shared_ptr<Indicator> indicator() const;
    // Lays `indicator` over the view, hidden until a load starts; the type is kept as it is.
    void setIndicator(std::shared_ptr<Indicator> indicator) const;
};

extern template class ImageViewLoading<QLabel>;
extern template class ImageViewLoading<AnimatedImageView>;

template<>
class LumenWrapper<QLabel*> : public ImageViewLoading<QLabel> {
public:
    using ImageViewLoading::ImageViewLoading;
};

template<>
class LumenWrapper<AnimatedImageView*> : public ImageViewLoading<AnimatedImageView> {
public:
    using ImageViewLoading::ImageViewLoading;
};

inline LumenWrapper<QLabel*> lm(QLabel* imageView)
{
    return LumenWrapper<QLabel*>(imageView);
}

inline LumenWrapper<AnimatedImageView*> lm(AnimatedImageView* imageView)
{
    return LumenWrapper<AnimatedImageView*>(imageView);
}

} // namespace Lumen
