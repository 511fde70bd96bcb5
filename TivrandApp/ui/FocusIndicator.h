#pragma once

#include <QWidget>

namespace Tivrand {

// Draws the style's keyboard focus frame over a widget that shows no focus of its own (a field
// without a frame, a list whose rows barely change), while that widget has the focus. The frame
// shows however the focus came, by key or by click: keys typed go there either way. It lies over
// the whole widget, as a child of it, and lets every click through.
class FocusIndicator : public QWidget {
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
