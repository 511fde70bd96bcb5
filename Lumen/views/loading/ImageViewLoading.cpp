#include "Lumen/views/loading/ImageViewLoading.h"

#include "Lumen/foundation/AttachedValue.h"
#include "Lumen/foundation/Placeholder.h"
#include "Lumen/views/Indicator.h"
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

std::shared_ptr<ImageViewState> viewState(QLabel* view, bool create)
{
    if (!view)
        return nullptr;
    auto state = attachedValue(*view, imageViewStateKey);
    if (!state && create) {
        state = std::make_shared<ImageViewState>();
        setAttachedValue(*view, imageViewStateKey, state);
    }
    return state;
}

void replacePlaceholder(QLabel& view, ImageViewState& state, std::shared_ptr<Placeholder> placeholder)
{
    if (state.placeholder)
        state.placeholder->removeFrom(view);
    if (placeholder)
        placeholder->addTo(view);
    else
        view.setPixmap(QPixmap());
    state.placeholder = std::move(placeholder);
}

// The placeholder goes, then the image shows.
void showImage(QLabel& view, const ImagePtr& image)
{
    replacePlaceholder(view, *viewState(&view, true), nullptr);
    view.setPixmap(pixmapOf(image));
}

} // namespace

std::shared_ptr<DownloadTask> LumenWrapper<QLabel*>::setImage(const SourceArgument& source,
                                                              std::shared_ptr<Placeholder> placeholder,
                                                              const std::optional<LumenOptionsInfo>& options,
                                                              ImageSettingProgress progressBlock,
                                                              ImageSettingCompletion completionHandler) const
{
    return setImage(source, std::move(placeholder), loadingOptions(options), std::move(progressBlock),
                    std::move(completionHandler));
}

std::shared_ptr<DownloadTask> LumenWrapper<QLabel*>::setImage(const SourceArgument& source,
                                                              std::shared_ptr<Placeholder> placeholder,
                                                              LumenParsedOptionsInfo options,
                                                              ImageSettingProgress progressBlock,
                                                              ImageSettingCompletion completionHandler) const
{
    QLabel* view = base();
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
    const bool isEmpty = view->pixmap().isNull() && !state->placeholder;
    if (!options.keepCurrentImageWhileLoading || isEmpty)
        replacePlaceholder(*view, *state, std::move(placeholder));
    if (state->indicator)
        state->indicator->startAnimatingView();
    // A subclass that plays animations from their frame source declares it does not need them
    // decoded up front; a plain label shows the first frame and does not either.
    if (view->property("shouldPreloadAllAnimation").toBool())
        options.preloadAllAnimationData = true;

    const QPointer<QLabel> weakView(view);
    const std::optional<ImagePtr> failureImage = options.onFailureImage;
    ImageRequestSteps steps{
        .isReachable = [weakView] { return !weakView.isNull(); },
        .showPartialImage = [weakView](const ImagePtr& image) { weakView->setPixmap(pixmapOf(image)); },
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

void LumenWrapper<QLabel*>::cancelDownloadTask() const
{
    if (const auto state = viewState(base(), false))
        state->task.accessor()->cancelDownloadTask();
}

std::optional<LumenWrapper<QLabel*>::Identifier> LumenWrapper<QLabel*>::taskIdentifier() const
{
    const auto state = viewState(base(), false);
    return state ? state->task.accessor()->taskIdentifier() : std::nullopt;
}

void LumenWrapper<QLabel*>::setTaskIdentifier(std::optional<Identifier> identifier) const
{
    if (const auto state = viewState(base(), identifier.has_value()))
        state->task.accessor()->setTaskIdentifier(identifier);
}

std::shared_ptr<Placeholder> LumenWrapper<QLabel*>::placeholder() const
{
    const auto state = viewState(base(), false);
    return state ? state->placeholder : nullptr;
}

void LumenWrapper<QLabel*>::setPlaceholder(std::shared_ptr<Placeholder> placeholder) const
{
    if (const auto state = viewState(base(), true))
        replacePlaceholder(*base(), *state, std::move(placeholder));
}

IndicatorType LumenWrapper<QLabel*>::indicatorType() const
{
    const auto state = viewState(base(), false);
    return state ? state->indicatorType : IndicatorType();
}

void LumenWrapper<QLabel*>::setIndicatorType(IndicatorType type) const
{
    const auto state = viewState(base(), true);
    if (!state)
        return;
    setIndicator(type.makeIndicator());
    state->indicatorType = std::move(type);
}

std::shared_ptr<Indicator> LumenWrapper<QLabel*>::indicator() const
{
    const auto state = viewState(base(), false);
    return state ? state->indicator : nullptr;
}

void LumenWrapper<QLabel*>::setIndicator(std::shared_ptr<Indicator> indicator) const
{
    const auto state = viewState(base(), true);
    if (!state)
        return;
    if (state->indicator)
        uninstallIndicator(*state->indicator);
    if (indicator)
        installIndicator(*indicator, *base());
    state->indicator = std::move(indicator);
}

} // namespace Lumen
