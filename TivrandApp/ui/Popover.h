#pragma once

#include <QFrame>
#include <QPointer>

namespace Tivrand {

// A popover: a popup frame shown below the widget it belongs to. It closes on Escape, on a click
// outside and when its owner closes it; however it closes, it emits closed(), so that the flag
// which opened it can be reset.
class Popover : public QFrame {
    Q_OBJECT

public:
    // The popover belongs to `anchor` (its parent), below which it opens.
    explicit Popover(QWidget& anchor);

    // Shows the popover centred below the anchor, kept inside the anchor's screen.
    void popUp();

signals:
    void closed();

protected:
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPointer<QWidget> m_anchor;
};

} // namespace Tivrand
