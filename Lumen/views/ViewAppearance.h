#pragma once

#include <QRect>

#include <cstddef>
#include <functional>
#include <memory>

class QEvent;
class QWidget;

namespace Lumen {

class AncestorWatcher;

// Tells a widget when it comes into sight and when it leaves it. A widget is in sight while
// it is visible and overlaps the viewport of every scroll area that holds it, so rows of a
// long list come into sight only as they are scrolled into the viewport. Scrolling moves the
// viewport's contents and resizing changes the viewport: both are seen through the move and
// resize events of the widget and of its ancestors. A minimised window is no departure.
//
// The widget hands its own events over (`viewEvent`). Its ancestors are watched by one event
// filter each, shared by every widget below: the watchers form a tree along the widget tree,
// so a list of many rows costs one filter per ancestor, a reparented ancestor moves its rows
// with it in one step, and a scroll looks only at the rows it may bring into or out of sight.
// GUI thread only. The widget must outlive it: a widget that holds one as a member is told of
// no departure while it is destroyed, since its members go before its QWidget part hides it.
class ViewAppearance final {
public:
    using Handler = std::function<void()>;

    // Starts out of sight; calls `appeared` at once when the widget is already in sight.
    ViewAppearance(QWidget& view, Handler appeared, Handler disappeared);
    ~ViewAppearance();
    ViewAppearance(const ViewAppearance&) = delete;
    ViewAppearance& operator=(const ViewAppearance&) = delete;

    bool inSight() const { return m_inSight; }

    // An event of the widget itself, before the widget handles it.
    void viewEvent(const QEvent& event);

private:
    friend class AncestorWatcher;

    // Registers with the watcher of the widget's parent, leaving the one before.
    void watchParent();
    void update();
    bool computeInSight() const;
    // The widget's rectangle (a point when it is empty) in the coordinates of `ancestor`.
    QRect rectIn(const QWidget& ancestor) const;

    QWidget& m_view;
    const Handler m_appeared;
    const Handler m_disappeared;
    // Null while the widget is a window.
    std::shared_ptr<AncestorWatcher> m_watcher;
    std::size_t m_slot = 0;
    bool m_inSight = false;
};

} // namespace Lumen
