#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QWidget;

namespace Lumen {

// Tells a widget when it comes into sight and when it leaves it. A widget is in sight while
// it is visible and overlaps the viewport of every scroll area that holds it, so rows of a
// long list come into sight only as they are scrolled into the viewport. Scrolling moves the
// viewport's contents and resizing changes the viewport: both are seen through the move and
// resize events of the widget and of its ancestors. A minimised window is no departure.
// GUI thread only. The widget must outlive it: a widget that holds one as a member is told of
// no departure while it is destroyed, since its members go before its QWidget part hides it.
class ViewAppearance final : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void()>;

    // Starts out of sight; calls `appeared` at once when the widget is already in sight.
    ViewAppearance(QWidget& view, Handler appeared, Handler disappeared);

    bool inSight() const { return m_inSight; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Watches the widget and every ancestor up to its window.
    void watchAncestors();
    void update();
    bool computeInSight() const;

    QWidget& m_view;
    const Handler m_appeared;
    const Handler m_disappeared;
    std::vector<QPointer<QWidget>> m_ancestors;
    bool m_inSight = false;
};

} // namespace Lumen
