#include "Lumen/views/FadeIn.h"

#include "Lumen/foundation/ImageTransition.h"

#include <QGraphicsOpacityEffect>
#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>

namespace Lumen {

QPropertyAnimation* fadeIn(QWidget& widget, double seconds)
{
    const int milliseconds = ImageTransition::fade(seconds).durationMilliseconds();
    if (milliseconds <= 0)
        return nullptr;
    auto* effect = new QGraphicsOpacityEffect(&widget);
    effect->setOpacity(0.0);
    widget.setGraphicsEffect(effect);

    // Owned by the widget, not the effect: removing the effect from the animation's own
    // signal must not delete the animation that is sending it.
    auto* animation = new QPropertyAnimation(effect, "opacity", &widget);
    animation->setDuration(milliseconds);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setEasingCurve(QEasingCurve::Linear);
    QObject::connect(animation, &QPropertyAnimation::finished, &widget,
                     [widget = QPointer<QWidget>(&widget), effect = QPointer<QGraphicsOpacityEffect>(effect)] {
                         if (widget && effect && widget->graphicsEffect() == effect)
                             widget->setGraphicsEffect(nullptr);
                     });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}

} // namespace Lumen
