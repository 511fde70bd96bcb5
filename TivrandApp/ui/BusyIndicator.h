#pragma once

#include <QBasicTimer>
#include <QWidget>

namespace Tivrand {

// An indeterminate progress indicator: a ring of spokes that turns while the widget is visible.
class BusyIndicator : public QWidget {
    Q_OBJECT

public:
    // The diameter at scale 1.
    static constexpr int regularDiameter = 20;

    explicit BusyIndicator(qreal scale, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    bool isTurning() const { return m_timer.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    int m_diameter;
    int m_step = 0;
    QBasicTimer m_timer;
};

} // namespace Tivrand
