#include "TivrandApp/search/OutlinedFrame.h"

#include "TivrandApp/ui/Appearance.h"

#include <QPainter>
#include <QVBoxLayout>

namespace Tivrand {

void paintFilterOutline(QPainter& painter, const QRect& bounds)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(withOpacity(SystemColor::gray, 0.3), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(bounds).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.restore();
}

OutlinedFrame::OutlinedFrame(QWidget* content, QWidget* parent)
    : QFrame(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->addWidget(content);
}

void OutlinedFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintFilterOutline(painter, rect());
}

} // namespace Tivrand
