#include "TivrandApp/ui/IconPlaceholder.h"

#include "TivrandApp/ui/Appearance.h"
#include "TivrandApp/ui/BusyIndicator.h"

#include <QPainter>
#include <QPainterPath>

namespace Tivrand {
namespace {

constexpr qreal indicatorScale = 0.7;

} // namespace

IconPlaceholder::IconPlaceholder(qreal cornerRadius, QWidget* parent)
    : QWidget(parent)
    , m_cornerRadius(cornerRadius)
    , m_indicator(new BusyIndicator(indicatorScale, this))
{
}

void IconPlaceholder::showFailed()
{
    m_indicator->hide();
}

void IconPlaceholder::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath square;
    square.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
    painter.fillPath(square, withOpacity(SystemColor::gray, 0.3));
}

void IconPlaceholder::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    QRect centred(QPoint(), m_indicator->size());
    centred.moveCenter(rect().center());
    m_indicator->move(centred.topLeft());
}

} // namespace Tivrand
