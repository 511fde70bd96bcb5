#pragma once

#include <QFrame>

class QPainter;

namespace Tivrand {

// The outline of the search filters: a rounded rectangle (radius 6) stroked gray at 0.3, one pixel wide.
void paintFilterOutline(QPainter& painter, const QRect& bounds);

// A frame that pads its one child by 6 pixels and draws the filter outline around it.
class OutlinedFrame : public QFrame {
    Q_OBJECT

public:
    static constexpr int padding = 6;

    explicit OutlinedFrame(QWidget* content, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace Tivrand
