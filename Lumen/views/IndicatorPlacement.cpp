#include "Lumen/views/IndicatorPlacement.h"

#include "Lumen/foundation/GeometryFollower.h"
#include "Lumen/views/Indicator.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace Lumen {

namespace {

// Keeps wild offsets and sizes inside what a widget's geometry can hold.
int clampedPixels(double value)
{
    if (!std::isfinite(value))
        return 0;
    return static_cast<int>(std::lround(std::clamp(value, -double(QWIDGETSIZE_MAX), double(QWIDGETSIZE_MAX))));
}

QSize indicatorSize(const IndicatorSizeStrategy& strategy, const QWidget& view, QSize imageViewSize)
{
    switch (strategy.kind()) {
    case IndicatorSizeStrategy::Kind::size:
        return {clampedPixels(strategy.fixedSize().width()), clampedPixels(strategy.fixedSize().height())};
    case IndicatorSizeStrategy::Kind::intrinsicSize: {
        const QSize hint = view.sizeHint();
        return hint.isValid() ? hint : view.size();
    }
    case IndicatorSizeStrategy::Kind::full:
        break;
    }
    return imageViewSize;
}

} // namespace

void installIndicator(Indicator& indicator, QWidget& imageView)
{
    QWidget* view = indicator.view();
    if (!view)
        return;
    const IndicatorSizeStrategy strategy = indicator.sizeStrategy(imageView);
    const QPointF offset = indicator.centerOffset();
    const QPoint offsetPixels(clampedPixels(offset.x()), clampedPixels(offset.y()));

    view->setParent(&imageView);
    GeometryFollower::follow(*view, [view, strategy, offsetPixels](QSize imageViewSize) {
        const QSize size = indicatorSize(strategy, *view, imageViewSize);
        const double left = (imageViewSize.width() - size.width()) / 2.0 + offsetPixels.x();
        const double top = (imageViewSize.height() - size.height()) / 2.0 + offsetPixels.y();
        return QRect(QPoint(clampedPixels(left), clampedPixels(top)), size);
    });
    view->raise();
    view->hide();
}

void uninstallIndicator(Indicator& indicator)
{
    QWidget* view = indicator.view();
    if (!view || !view->parentWidget())
        return;
    GeometryFollower::stop(*view);
    view->setParent(nullptr);
}

} // namespace Lumen
