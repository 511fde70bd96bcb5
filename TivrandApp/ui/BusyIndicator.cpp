#include "TivrandApp/ui/BusyIndicator.h"

#include <QPainter>
#include <QTimerEvent>

namespace Tivrand {
namespace {

constexpr int spokeCount = 8;
constexpr int stepMilliseconds = 100;

} // namespace

BusyIndicator::BusyIndicator(qreal scale, QWidget* parent)
    : QWidget(parent)
    , m_diameter(qRound(regularDiameter * scale))
{
    setFixedSize(m_diameter, m_diameter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QSize BusyIndicator::sizeHint() const
{
    return {m_diameter, m_diameter};
}

void BusyIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect().center() + QPointF(0.5, 0.5));

    const qreal radius = m_diameter / 2.0;
    const QColor base = palette().color(QPalette::WindowText);
    QPen pen(base);
    pen.setWidthF(qMax(1.5, m_diameter / 9.0));
    pen.setCapStyle(Qt::RoundCap);
    for (int spoke = 0; spoke < spokeCount; ++spoke) {
        // The spoke at the current step is the brightest; the trail fades behind it.
        const int age = (m_step - spoke + spokeCount) % spokeCount;
        QColor color = base;
        color.setAlphaF(base.alphaF() * (1.0f - 0.8f * static_cast<float>(age) / spokeCount));
        pen.setColor(color);
        painter.setPen(pen);
        painter.save();
        painter.rotate(360.0 * spoke / spokeCount);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.85));
        painter.restore();
    }
}

void BusyIndicator::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer.start(stepMilliseconds, this);
}

void BusyIndicator::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}

void BusyIndicator::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    m_step = (m_step + 1) % spokeCount;
    update();
}

} // namespace Tivrand
