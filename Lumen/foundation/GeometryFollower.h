#pragma once

#include <QObject>
#include <QRect>
#include <QSize>

#include <functional>

class QWidget;

namespace Lumen {

// Keeps a child widget placed on its parent: lays it out at once and again whenever the
// parent resizes. Owned by the child, so it ends with it; deleting it stops the following.
// GUI thread only.
class GeometryFollower final : public QObject {
    Q_OBJECT

public:
    // The child's geometry inside a parent of the given size.
    using Layout = std::function<QRect(QSize parentSize)>;

    // Replaces any follower the child had. Null, doing nothing, when it has no parent.
    static GeometryFollower* follow(QWidget& child, Layout layout);
    // Ends any following of the child.
    static void stop(QWidget& child);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    GeometryFollower(QWidget& child, Layout layout);
    void apply();

    QWidget& m_child;
    Layout m_layout;
};

} // namespace Lumen
