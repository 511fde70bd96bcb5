#pragma once

class QPropertyAnimation;
class QWidget;

namespace Lumen {

// Fades `widget` in from transparent, linearly over `seconds`, through an opacity effect that
// is taken off when the fade ends: a widget left under an effect is drawn through an
// offscreen buffer on every repaint. Replaces any effect the widget had. Answers the running
// animation, which deletes itself when it stops; null, with nothing changed, for a duration
// that is not positive. GUI thread only.
QPropertyAnimation* fadeIn(QWidget& widget, double seconds);

} // namespace Lumen
