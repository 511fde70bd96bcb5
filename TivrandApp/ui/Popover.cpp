#include "TivrandApp/ui/Popover.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

namespace Tivrand {
namespace {

constexpr int gapBelowAnchor = 4;

} // namespace

Popover::Popover(QWidget& anchor)
    : QFrame(&anchor, Qt::Popup)
    , m_anchor(&anchor)
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
}

void Popover::popUp()
{
    adjustSize();
    QPoint position;
    if (m_anchor) {
        const QPoint anchorBottom = m_anchor->mapToGlobal(QPoint(m_anchor->width() / 2, m_anchor->height()));
        position = QPoint(anchorBottom.x() - width() / 2, anchorBottom.y() + gapBelowAnchor);
        if (const QScreen* screen = m_anchor->screen()) {
            const QRect available = screen->availableGeometry();
            position.setX(qBound(available.left(), position.x(), qMax(available.left(), available.right() - width())));
            position.setY(qBound(available.top(), position.y(), qMax(available.top(), available.bottom() - height())));
        }
    }
    move(position);
    // Opened from the keyboard, it shows where the focus is at once, as its owner's window does.
    setAttribute(Qt::WA_KeyboardFocusChange, m_anchor && m_anchor->window()->testAttribute(Qt::WA_KeyboardFocusChange));
    show();
    activateWindow();
}

void Popover::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    emit closed();
}

void Popover::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

void Popover::mousePressEvent(QMouseEvent* event)
{
    // A click on the anchor while open only closes the popover; replayed, it would open it again.
    if (m_anchor && !rect().contains(event->position().toPoint())) {
        const QPoint onAnchor = m_anchor->mapFromGlobal(event->globalPosition().toPoint());
        setAttribute(Qt::WA_NoMouseReplay, m_anchor->rect().contains(onAnchor));
    }
    QFrame::mousePressEvent(event);
}

} // namespace Tivrand
