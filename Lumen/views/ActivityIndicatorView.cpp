#include "Lumen/views/ActivityIndicatorView.h"

#include <QPainter>

namespace Lumen {

namespace {

constexpr int turnMilliseconds = 1000;
// The ring leaves a quarter open, so its turning shows.
constexpr int arcSixteenthsOfDegree = 270 * 16;

} // namespace

ActivityIndicatorView::ActivityIndicatorView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(sideLength, sideLength);
    m_rotation.setStartValue(0.0);
    m_rotation.setEndValue(360.0);
    m_rotation.setDuration(turnMilliseconds);
    m_rotation.setLoopCount(-1);
    connect(&m_rotation, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
}

void ActivityIndicatorView::startAnimation()
{
    if (!isAnimating())
        m_rotation.start();
}

void ActivityIndicatorView::stopAnimation()
{
    m_rotation.stop();
}

bool ActivityIndicatorView::isAnimating() const
{
    return m_rotation.state() == QAbstractAnimation::Running;
}

QSize ActivityIndicatorView::sizeHint() const
{
    return {sideLength, sideLength};
}

void ActivityIndicatorView::paintEvent(QPaintEvent*)
{
    const qreal penWidth = 2.0;
    const qreal side = qMin(width(), height()) - penWidth;
    if (side <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(palette().color(QPalette::WindowText), penWidth);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const QRectF ring(QPointF(-side / 2, -side / 2), QSizeF(side, side));
    painter.translate(QRectF(rect()).center());
    painter.rotate(m_rotation.currentValue().toDouble());
    painter.drawArc(ring, 0, arcSixteenthsOfDegree);
}

} // namespace Lumen
