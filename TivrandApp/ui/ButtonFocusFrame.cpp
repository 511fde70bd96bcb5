#include "TivrandApp/ui/ButtonFocusFrame.h"

#include <QAbstractButton>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

namespace Tivrand {

void paintButtonFocusFrame(QPainter& painter, const QAbstractButton& button)
{
    if (!button.hasFocus())
        return;
    QStyleOptionButton buttonOption;
    buttonOption.initFrom(&button);
    QStyleOptionFocusRect focus;
    focus.initFrom(&button);
    focus.rect = button.style()->subElementRect(QStyle::SE_PushButtonFocusRect, &buttonOption, &button);
    focus.backgroundColor = button.palette().color(button.backgroundRole());
    painter.save();
    button.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, &button);
    painter.restore();
}

} // namespace Tivrand
