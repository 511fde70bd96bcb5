#pragma once

class QWidget;

namespace Lumen {

class Indicator;

// Laying an indicator's view over the image view it indicates for. GUI thread only.

// Makes the view a hidden child of `imageView`, on top of its other children, centred on
// it plus the indicator's centre offset and sized by the indicator's strategy for
// `imageView`; it stays so as `imageView` resizes (an intrinsic size is asked again each
// time). Offset and strategy are read once, here. A view laid over another widget before
// leaves it. Only `startAnimatingView()` shows it.
void installIndicator(Indicator& indicator, QWidget& imageView);

// Takes the view out of the widget it is laid over, hidden; nothing when it lies over none.
void uninstallIndicator(Indicator& indicator);

} // namespace Lumen
