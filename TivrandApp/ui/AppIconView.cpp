#include "TivrandApp/ui/AppIconView.h"

#include "TivrandApp/ui/Appearance.h"
#include "TivrandApp/ui/BusyIndicator.h"

#include <QPainter>
#include <QPainterPath>

namespace Tivrand {
namespace {

constexpr qreal cornerRadius = 8;
constexpr int indicatorDiameter = 16;

} // namespace

AppIconView::AppIconView(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(side, side);
    auto* indicator = new BusyIndicator(indicatorDiameter, this);
    indicator->move((side - indicatorDiameter) / 2, (side - indicatorDiameter) / 2);
}

void AppIconView::setIconUrl(const QString& iconUrl)
{
    const QUrl url(iconUrl, QUrl::StrictMode);
    m_iconUrl = url.isValid() && !url.isRelative() ? url : QUrl();
}

void AppIconView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(shape, withOpacity(SystemColor::gray, 0.3));
}

} // namespace Tivrand
