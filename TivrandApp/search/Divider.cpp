#include "TivrandApp/search/Divider.h"

#include <QPainter>

namespace Tivrand {

Divider::Divider(Qt::Orientation orientation, QColor color, QWidget* parent)
    : QWidget(parent)
    , m_orientation(orientation)
    , m_color(std::move(color))
{
    if (orientation == Qt::Horizontal)
        setFixedHeight(1);
    else
        setFixedWidth(1);
}

void Divider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect line = contentsRect();
    if (m_orientation == Qt::Horizontal)
        painter.fillRect(line.left(), line.top(), line.width(), 1, m_color);
    else
        painter.fillRect(line.left(), line.top(), 1, line.height(), m_color);
}

} // namespace Tivrand
