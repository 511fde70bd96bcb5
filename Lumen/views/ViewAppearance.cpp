#include "Lumen/views/ViewAppearance.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QWidget>

namespace Lumen {
namespace {

bool isViewportOf(const QWidget& widget, const QWidget* scrollArea)
{
    const auto* area = qobject_cast<const QAbstractScrollArea*>(scrollArea);
    return area && area->viewport() == &widget;
}

} // namespace

ViewAppearance::ViewAppearance(QWidget& view, Handler appeared, Handler disappeared)
    : m_view(view)
    , m_appeared(std::move(appeared))
    , m_disappeared(std::move(disappeared))
{
    watchAncestors();
    update();
}

bool ViewAppearance::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        watchAncestors();
        update();
        break;
    case QEvent::Show:
    case QEvent::Hide:
        // Only the widget's own; a window being minimised or restored changes nothing.
        if (watched == &m_view && !event->spontaneous())
            update();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        update();
        break;
    default:
        break;
    }
    return false;
}

void ViewAppearance::watchAncestors()
{
    for (const QPointer<QWidget>& ancestor : m_ancestors) {
        if (ancestor)
            ancestor->removeEventFilter(this);
    }
    m_ancestors.clear();
    for (QWidget* widget = &m_view; widget; widget = widget->isWindow() ? nullptr : widget->parentWidget()) {
        widget->installEventFilter(this);
        m_ancestors.emplace_back(widget);
    }
}

void ViewAppearance::update()
{
    const bool inSight = computeInSight();
    if (inSight == m_inSight)
        return;
    m_inSight = inSight;
    if (inSight)
        m_appeared();
    else
        m_disappeared();
}

bool ViewAppearance::computeInSight() const
{
    if (!m_view.isVisible())
        return false;
    // The widget's rectangle in each ancestor's coordinates, cut at every viewport on the way;
    // an empty widget counts as the point where it sits.
    QRect visible(QPoint(), m_view.size().expandedTo(QSize(1, 1)));
    for (const QWidget* widget = &m_view; !widget->isWindow() && widget->parentWidget();) {
        const QWidget* parent = widget->parentWidget();
        visible.translate(widget->pos());
        if (isViewportOf(*parent, parent->parentWidget())) {
            visible &= parent->rect();
            if (visible.isEmpty())
                return false;
        }
        widget = parent;
    }
    return true;
}

} // namespace Lumen
