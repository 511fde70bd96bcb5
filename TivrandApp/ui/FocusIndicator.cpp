#include "TivrandApp/ui/FocusIndicator.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace Tivrand {

FocusIndicator::FocusIndicator(QWidget& target)
    : QFocusFrame(&target)
    , m_target(target)
{
    setGeometry(target.rect());
    raise();
    target.installEventFilter(this);
}

bool FocusIndicator::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_target) {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            update();
            break;
        case QEvent::Resize:
            setGeometry(m_target.rect());
            break;
        default:
            break;
        }
    }
    return QFocusFrame::eventFilter(watched, event);
}

void FocusIndicator::paintEvent(QPaintEvent*)
{
    if (!m_target.hasFocus())
        return;
    QStyleOptionFocusRect focus;
    focus.initFrom(&m_target);
    focus.rect = rect();
    focus.state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
    focus.backgroundColor = m_target.palette().color(m_target.backgroundRole());
    QPainter painter(this);
    m_target.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, &m_target);
}

} // namespace Tivrand
