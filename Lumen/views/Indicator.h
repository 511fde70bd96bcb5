#pragma once

#include "Lumen/views/IndicatorSizeStrategy.h"

#include <QPointF>

class QWidget;

namespace Lumen {

// What an image view shows over itself while its image loads. The view is laid over the
// image view with installIndicator (IndicatorPlacement.h) and stays hidden until started.
// Made and used on the GUI thread.
class Indicator {
public:
    virtual ~Indicator() = default;

    // Shows the view and starts its animation.
    virtual void startAnimatingView() = 0;
    // Stops the animation and hides the view.
    virtual void stopAnimatingView() = 0;

    // The offset of the view's centre from the image view's centre (positive y is down).
    virtual QPointF centerOffset() const { return {}; }
    // The widget to lay over the image view; null once it was deleted with one.
    virtual QWidget* view() const = 0;
    // How the view is sized over `imageView`.
    virtual IndicatorSizeStrategy sizeStrategy([[maybe_unused]] const QWidget& imageView) const
    {
        return IndicatorSizeStrategy::full();
    }

protected:
    Indicator() = default;
    Indicator(const Indicator&) = default;
    Indicator& operator=(const Indicator&) = default;
};

} // namespace Lumen
