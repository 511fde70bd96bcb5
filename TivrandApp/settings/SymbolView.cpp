#include "TivrandApp/settings/SymbolView.h"

#include "TivrandApp/ui/SymbolIcon.h"

#include <QPainter>

#include <cmath>

namespace Tivrand {

SymbolView::SymbolView(const QString& symbolName, int pointSize, QWidget* parent)
    : QWidget(parent)
    , m_symbolName(symbolName)
    , m_pointSize(pointSize)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

int SymbolView::sideFor(int pointSize)
{
    return static_cast<int>(std::lround(pointSize * 1.25));
}

void SymbolView::setColor(const QColor& colour)
{
    m_colour = colour;
    update();
}

QSize SymbolView::sizeHint() const
{
    const int side = sideFor(m_pointSize);
    return {side, side};
}

void SymbolView::paintEvent(QPaintEvent*)
{
    const int side = sideFor(m_pointSize);
    const QColor colour = m_colour.isValid() ? m_colour : palette().color(QPalette::WindowText);
    QRectF target(0, 0, side, side);
    target.moveCenter(QRectF(rect()).center());
    QPainter painter(this);
    painter.drawPixmap(target.topLeft(), symbolPixmap(m_symbolName, colour, side));
}

} // namespace Tivrand
