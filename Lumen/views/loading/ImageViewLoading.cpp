#include "Lumen/views/loading/ImageViewLoading.h"

#include "Lumen/foundation/AttachedValue.h"
#include "Lumen/foundation/Placeholder.h"
#include "Lumen/views/Indicator.h"
#include "Lumen/views/AnimatedImageView.h"
#include "Lumen/views/IndicatorPlacement.h"
#include "Lumen/views/loading/ImagePixmap.h"
#include "Lumen/views/loading/TaskPropertyAccessor.h"

#include <QLabel>
#include <QPointer>

#include <utility>

namespace Lumen {

namespace {

struct ImageViewState {
    TaskPropertyHolder task;
    std::shared_ptr<Placeholder> placeholder;
    IndicatorType indicatorType;
    std::shared_ptr<Indicator> indicator;
};

constexpr AttachedKey<ImageViewState> imageViewStateKey{"lumen.imageView"};

std::shared_ptr<ImageViewState> viewState(QWidget* view, bool create)
{
    if (!view)
        return nullptr;
    return create ? attachedValueOrMake(*view, imageViewStateKey) : attachedValue(*view, imageViewStateKey);
}

// A label shows the image still; the animated image view plays it. Null shows nothing.
void display(QLabel& view, const ImagePtr& image)
{
    view.setPixmap(pixmapOf(image));
}

void display(AnimatedImageView& view, const ImagePtr& image)
{
    view.setImage(image);
}

bool showsImage(const QLabel& view)
{
    return !view.pixmap().isNull();
}

bool showsImage(const AnimatedImageView& view)
{
    return view.image() != nullptr;
}

template<class View>
void replacePlaceholder(View& view, ImageViewState& state, std::shared_ptr<Placeholder> placeholder)
{
    if (state.placeholder)
        state.placeholder->removeFrom(view);
    if (placeholder)
        placeholder->addTo(view);
    else
        display(view, nullptr);
    state.placeholder = std::move(placeholder);
}

// The placeholder goes, then the image shows.
template<class View>
void showImage(View& view, const ImagePtr& image)
{
    replacePlaceholder(view, *viewState(&view, true), nullptr);
    display(view, image);
}

} // namespace

template<class View>
std::shared_ptr<DownloadTask> ImageViewLoading<View>::setImage(const SourceArgument& source,
                                                               std::shared_ptr<Placeholder> placeholder,
                                                               const std::optional<LumenOptionsInfo>& options,
                                                               ImageSettingProgress progressBlock,
                                                               ImageSettingCompletion completionHandler) const
{
    return setImage(source, std::move(placeholder), loadingOptions(options), std::move(progressBlock),
                    std::move(completionHandler));
}

template<class View>
std::shared_ptr<DownloadTask> ImageViewLoading<View>::setImage(const SourceArgument& source,
                                                               std::shared_ptr<Placeholder> placeholder,
                                                               LumenParsedOptionsInfo options,
                                                               ImageSettingProgress progressBlock,
                                                               ImageSettingCompletion completionHandler) const
{
    View* view = this->base();
    if (!source.source()) {
        if (view) {
            setPlaceholder(std::move(placeholder));
            setTaskIdentifier(std::nullopt);
        }
        reportEmptySource(completionHandler);
        return nullptr;
    }
    if (!view) {
        reportUnreachable(completionHandler, *source.source());
        return nullptr;
    }
    const auto state = viewState(view, true);
    const bool isEmpty = !showsImage(*view) && !state->placeholder;
    if (!options.keepCurrentImageWhileLoading || isEmpty)
        replacePlaceholder(*view, *state, std::move(placeholder));
    if (state->indicator)
        state->indicator->startAnimatingView();
    // A subclass that plays animations from their frame source declares it does not need them
    // decoded up front; a plain label shows the first frame and does not either.
    if (view->property("shouldPreloadAllAnimation").toBool())
        options.preloadAllAnimationData = true;

    const QPointer<View> weakView(view);
    const std::optional<ImagePtr> failureImage = options.onFailureImage;
    ImageRequestSteps steps{
        .isReachable = [weakView] { return !weakView.isNull(); },
        .showPartialImage = [weakView](const ImagePtr& image) { display(*weakView, image); },
        .showResult =
            [weakView, failureImage](const LumenManager::RetrieveResult& result) {
                if (result)
                    showImage(*weakView, result->image);
                else if (failureImage)
                    showImage(*weakView, *failureImage);
            },
        // The indicator started here stops, whichever is installed by then.
        .ended =
            [indicator = std::weak_ptr<Indicator>(state->indicator)] {
                if (const auto started = indicator.lock())
                    started->stopAnimatingView();
            },
    };
    return startImageRequest(state->task.accessor(), *source.source(), std::move(options), std::move(progressBlock),
                             std::move(steps), std::move(completionHandler));
}

template<class View>
void ImageViewLoading<View>::cancelDownloadTask() const
{
    if (const auto state = viewState(this->base(), false))
        state->task.accessor()->cancelDownloadTask();
}

template<class View>
std::shared_ptr<DownloadTask> ImageViewLoading<View>::imageTask() const
{
    const auto state = viewState(this->base(), false);
    return state ? state->task.accessor()->imageTask() : nullptr;
}

template<class View>
auto ImageViewLoading<View>::taskIdentifier() const -> std::optional<Identifier>
{
    const auto state = viewState(this->base(), false);
    return state ? state->task.accessor()->taskIdentifier() : std::nullopt;
}

template<class View>
void ImageViewLoading<View>::setTaskIdentifier(std::optional<Identifier> identifier) const
{
    if (const auto state = viewState(this->base(), identifier.has_value()))
        state->task.accessor()->setTaskIdentifier(identifier);
}

template<class View>
std::shared_ptr<Placeholder> ImageViewLoading<View>::placeholder() const
{
    const auto state = viewState(this->base(), false);
    return state ? state->placeholder : nullptr;
}

template<class View>
void ImageViewLoading<View>::setPlaceholder(std::shared_ptr<Placeholder> placeholder) const
{
    if (const auto state = viewState(this->base(), true))
        replacePlaceholder(*this->base(), *state, std::move(placeholder));
}

template<class View>
IndicatorType ImageViewLoading<View>::indicatorType() const
{
    const auto state = viewState(this->base(), false);
    return state ? state->indicatorType : IndicatorType();
}

template<class View>
void ImageViewLoading<View>::setIndicatorType(IndicatorType type) const
{
    const auto state = viewState(this->base(), true);
    if (!state)
        return;
    setIndicator(type.makeIndicator());
    state->indicatorType = std::move(type);
}

template<class View>
std::shared_ptr<Indicator> ImageViewLoading<View>::indicator() const
{
    const auto state = viewState(this->base(), false);
    return state ? state->indicator : nullptr;
}

template<class View>
void ImageViewLoading<View>::setIndicator(std::shared_ptr<Indicator> indicator) const
{
    const auto state = viewState(this->base(), true);
    if (!state)
        return;
    if (state->indicator)
        uninstallIndicator(*state->indicator);
    if (indicator)
        installIndicator(*indicator, *this->base());
    state->indicator = std::move(indicator);
}

template class ImageViewLoading<QLabel>;
template class ImageViewLoading<AnimatedImageView>;

} // namespace Lumen
