#include "Lumen/views/ViewAppearance.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QHash>
#include <QMoveEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace Lumen {
namespace {

bool isViewport(const QWidget& widget)
{
    const auto* area = qobject_cast<const QAbstractScrollArea*>(widget.parentWidget());
    return area && area->viewport() == &widget;
}

// The ancestor whose events tell whether a widget below it is in sight: every one up to the
// window.
QWidget* watchedParent(const QWidget& widget)
{
    return widget.isWindow() ? nullptr : widget.parentWidget();
}

// Members kept by slot, so that one leaves in constant time. While they are being told, one
// that leaves leaves a hole instead, closed once the telling is over.
template <typename Member>
class Slots {
public:
    std::size_t add(Member* member)
    {
        m_members.push_back(member);
        return m_members.size() - 1;
    }
    // Answers the member moved into the freed slot, if any.
    Member* remove(std::size_t slot, bool telling)
    {
        if (telling) {
            m_members[slot] = nullptr;
            m_holes = true;
            return nullptr;
        }
        m_members[slot] = m_members.back();
        m_members.pop_back();
        return slot < m_members.size() ? m_members[slot] : nullptr;
    }
    // Calls `renumbered` for each member left, with its new slot.
    template <typename Renumbered>
    void closeHoles(Renumbered renumbered)
    {
        if (!m_holes)
            return;
        std::erase(m_members, nullptr);
        for (std::size_t slot = 0; slot < m_members.size(); ++slot)
            renumbered(*m_members[slot], slot);
        m_holes = false;
    }
    const std::vector<Member*>& members() const { return m_members; }
    bool empty() const { return m_members.empty(); }

private:
    std::vector<Member*> m_members;
    bool m_holes = false;
};

} // namespace

// Watches one ancestor for the widgets below it: the appearances of its child widgets, and the
// watchers of its child widgets that have some below them. Each is owned by those: a watcher
// goes with the last of them. Tells its subtree what may have changed its sight.
class AncestorWatcher final : public QObject, public std::enable_shared_from_this<AncestorWatcher> {
public:
    explicit AncestorWatcher(QWidget& widget) : m_widget(&widget), m_address(&widget)
    {
        widget.installEventFilter(this);
        watchParent();
    }
    ~AncestorWatcher() override
    {
        leaveParent();
        if (m_widget)
            m_widget->removeEventFilter(this);
        const auto found = watchers().constFind(m_address);
        if (found != watchers().cend() && *found == this)
            watchers().erase(found);
    }

    // The watcher of `widget`, made now when it has none.
    static std::shared_ptr<AncestorWatcher> of(QWidget& widget)
    {
        // A watcher left over from a gone widget that had the same address is not this one's.
        if (AncestorWatcher* known = watchers().value(&widget); known && known->m_widget == &widget)
            return known->shared_from_this();
        // Made before it is listed: making it makes the watchers above it first.
        auto made = std::make_shared<AncestorWatcher>(widget);
        watchers().insert(&widget, made.get());
        return made;
    }

    std::size_t add(ViewAppearance& view)
    {
        placesChanged();
        return m_views.add(&view);
    }
    void remove(std::size_t slot)
    {
        if (ViewAppearance* moved = m_views.remove(slot, m_telling > 0))
            moved->m_slot = slot;
        placesChanged();
        departed();
    }

    // Something below has moved, come or gone: the places of the views below are found anew
    // before the next scroll, here and above.
    void placesChanged()
    {
        for (AncestorWatcher* watcher = this; watcher; watcher = watcher->m_parent.get())
            watcher->m_placesStale = true;
    }
    // Views left from below, alone or with a watcher that took them along.
    void departed()
    {
        for (AncestorWatcher* watcher = this; watcher; watcher = watcher->m_parent.get())
            ++watcher->m_departures;
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_widget)
            return false;
        switch (event->type()) {
        case QEvent::ParentChange: {
            const auto keep = shared_from_this();
            watchParent();
            tellAll();
            break;
        }
        case QEvent::Move:
            // A window's place on the screen changes nothing inside it.
            if (!m_widget->isWindow())
                moved(*static_cast<QMoveEvent*>(event));
            break;
        case QEvent::Resize:
            // Only a viewport's size cuts what is seen below it.
            if (isViewport(*m_widget))
                tellAll();
            break;
        default:
            break;
        }
        return false;
    }

private:
    struct Place {
        QRect rect;
        ViewAppearance* view;
    };

    // Never destroyed: a watcher may go after the statics, with a widget that outlives them.
    static QHash<const QWidget*, AncestorWatcher*>& watchers()
    {
        static auto* all = new QHash<const QWidget*, AncestorWatcher*>;
        return *all;
    }

    void watchParent()
    {
        leaveParent();
        if (QWidget* parent = watchedParent(*m_widget)) {
            m_parent = of(*parent);
            m_slotInParent = m_parent->m_children.add(this);
            m_parent->placesChanged();
        }
    }
    void leaveParent()
    {
        if (!m_parent)
            return;
        if (AncestorWatcher* moved = m_parent->m_children.remove(m_slotInParent, m_parent->m_telling > 0))
            moved->m_slotInParent = m_slotInParent;
        m_parent->placesChanged();
        m_parent->departed();
        m_parent.reset();
    }

    // Calls `tell` for every view below, whatever comes or goes meanwhile.
    template <typename Tell>
    void forEachView(const Tell& tell)
    {
        const auto keep = shared_from_this();
        ++m_telling;
        const std::size_t views = m_views.members().size();
        for (std::size_t slot = 0; slot < views; ++slot) {
            if (ViewAppearance* view = m_views.members()[slot])
                tell(*view);
        }
        const std::size_t children = m_children.members().size();
        for (std::size_t slot = 0; slot < children; ++slot) {
            if (AncestorWatcher* child = m_children.members()[slot])
                child->forEachView(tell);
        }
        if (--m_telling == 0) {
            m_views.closeHoles([](ViewAppearance& view, std::size_t slot) { view.m_slot = slot; });
            m_children.closeHoles([](AncestorWatcher& child, std::size_t slot) { child.m_slotInParent = slot; });
        }
    }
    void tellAll()
    {
        forEachView([](ViewAppearance& view) { view.update(); });
    }

    void moved(const QMoveEvent& event)
    {
        if (m_parent)
            m_parent->placesChanged();
        if (!isViewport(*m_widget->parentWidget())) {
            tellAll();
            return;
        }
        // The contents of a scroll area: only what was or is now in its viewport may change.
        const auto keep = shared_from_this();
        const QRect viewport = m_widget->parentWidget()->rect();
        const std::vector<ViewAppearance*> placed =
            placedIn(viewport.translated(-event.oldPos()), viewport.translated(-event.pos()));
        const std::uint64_t departures = m_departures;
        for (ViewAppearance* view : placed) {
            // One that went may have taken others with it: then all are told.
            if (m_departures != departures) {
                tellAll();
                return;
            }
            view->update();
        }
    }

    // The views below placed across either area, in this widget's coordinates.
    std::vector<ViewAppearance*> placedIn(const QRect& before, const QRect& after)
    {
        if (m_placesStale)
            findPlaces();
        std::vector<ViewAppearance*> views;
        for (const QRect& area : {before, after}) {
            auto place = std::ranges::lower_bound(m_places, area.top() - m_tallest, {},
                                                  [](const Place& p) { return p.rect.top(); });
            for (; place != m_places.end() && place->rect.top() <= area.bottom(); ++place) {
                if (place->rect.intersects(area))
                    views.push_back(place->view);
            }
        }
        std::ranges::sort(views);
        const auto repeated = std::ranges::unique(views);
        views.erase(repeated.begin(), repeated.end());
        return views;
    }

    void findPlaces()
    {
        m_places.clear();
        m_tallest = 0;
        forEachView([this](ViewAppearance& view) {
            const QRect rect = view.rectIn(*m_widget);
            m_places.push_back({rect, &view});
            m_tallest = std::max(m_tallest, rect.height());
        });
        std::ranges::sort(m_places, {}, [](const Place& place) { return place.rect.top(); });
        m_placesStale = false;
    }

    QPointer<QWidget> m_widget;
    const QWidget* const m_address;
    std::shared_ptr<AncestorWatcher> m_parent;
    std::size_t m_slotInParent = 0;
    Slots<ViewAppearance> m_views;
    Slots<AncestorWatcher> m_children;
    int m_telling = 0;
    // Counts the views that left from below, so that a pass over some of them can tell whether
    // the ones it holds are still there.
    std::uint64_t m_departures = 0;
    // The views below by their top edge, found again after anything below has moved.
    std::vector<Place> m_places;
    int m_tallest = 0;
    bool m_placesStale = true;
};

ViewAppearance::ViewAppearance(QWidget& view, Handler appeared, Handler disappeared)
    : m_view(view)
    , m_appeared(std::move(appeared))
    , m_disappeared(std::move(disappeared))
{
    watchParent();
    update();
}

ViewAppearance::~ViewAppearance()
{
    if (m_watcher)
        m_watcher->remove(m_slot);
}

void ViewAppearance::viewEvent(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::ParentChange:
        watchParent();
        update();
        break;
    case QEvent::Show:
    case QEvent::Hide:
        // A window being minimised or restored changes nothing.
        if (!event.spontaneous())
            update();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (m_watcher)
            m_watcher->placesChanged();
        update();
        break;
    default:
        break;
    }
}

void ViewAppearance::watchParent()
{
    if (m_watcher) {
        m_watcher->remove(m_slot);
        m_watcher.reset();
    }
    if (QWidget* parent = watchedParent(m_view)) {
        m_watcher = AncestorWatcher::of(*parent);
        m_slot = m_watcher->add(*this);
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
        if (isViewport(*parent)) {
            visible &= parent->rect();
            if (visible.isEmpty())
                return false;
        }
        widget = parent;
    }
    return true;
}

QRect ViewAppearance::rectIn(const QWidget& ancestor) const
{
    QRect rect(QPoint(), m_view.size().expandedTo(QSize(1, 1)));
    for (const QWidget* widget = &m_view; widget != &ancestor && widget->parentWidget();
         widget = widget->parentWidget())
        rect.translate(widget->pos());
    return rect;
}

} // namespace Lumen
