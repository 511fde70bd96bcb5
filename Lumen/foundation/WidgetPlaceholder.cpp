#include "Lumen/foundation/WidgetPlaceholder.h"

#include "Lumen/foundation/GeometryFollower.h"

namespace Lumen {

WidgetPlaceholder::WidgetPlaceholder(std::unique_ptr<QWidget> widget)
    : m_widget(widget.release())
{
}

WidgetPlaceholder::~WidgetPlaceholder()
{
    delete m_widget.data();
}

void WidgetPlaceholder::addTo(QWidget& imageView)
{
    if (!m_widget)
        return;
    m_widget->setParent(&imageView);
    GeometryFollower::follow(*m_widget, [](QSize viewSize) { return QRect(QPoint(), viewSize); });
    m_widget->raise();
    m_widget->show();
}

void WidgetPlaceholder::removeFrom(QWidget& imageView)
{
    if (!m_widget || m_widget->parentWidget() != &imageView)
        return;
    GeometryFollower::stop(*m_widget);
    m_widget->setParent(nullptr);
}

} // namespace Lumen
