#pragma once

#include <QFocusFrame>

namespace Tivrand {

// Draws the style's keyboard focus frame over a widget that shows no focus of its own (a field
// without a frame, a list whose rows barely change), while that widget has the focus. The frame
// shows however the focus came, by key or by click: keys typed go there either way. It lies over
// the whole widget, as a child of it, and lets every click through. A focus frame, so screen
// readers pass over it rather than find an unnamed part inside the widget; it places itself
// over the widget instead of around it, as a focus frame given the widget would.
class FocusIndicator : public QFocusFrame {
    Q_OBJECT

public:
    explicit FocusIndicator(QWidget& target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget& m_target;
};

} // namespace Tivrand
