#include "Lumen/foundation/GeometryFollower.h"

#include <QEvent>
#include <QWidget>

namespace Lumen {

GeometryFollower::GeometryFollower(QWidget& child, Layout layout)
    : QObject(&child)
    , m_child(child)
    , m_layout(std::move(layout))
{
}

GeometryFollower* GeometryFollower::follow(QWidget& child, Layout layout)
{
    stop(child);
    QWidget* parent = child.parentWidget();
    if (!parent)
        return nullptr;
    auto* follower = new GeometryFollower(child, std::move(layout));
    parent->installEventFilter(follower);
    follower->apply();
    return follower;
}

void GeometryFollower::stop(QWidget& child)
{
    // A deleted filter is uninstalled by Qt.
    qDeleteAll(child.findChildren<GeometryFollower*>(Qt::FindDirectChildrenOnly));
}

bool GeometryFollower::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == m_child.parentWidget())
        apply();
    return false;
}

void GeometryFollower::apply()
{
    if (const QWidget* parent = m_child.parentWidget())
        m_child.setGeometry(m_layout(parent->size()));
}

} // namespace Lumen
