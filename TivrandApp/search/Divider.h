#pragma once

#include <QColor>
#include <QWidget>

namespace Tivrand {

// A one-pixel line across the widget's contents rectangle: horizontal ones span their width,
// vertical ones their height.
class Divider : public QWidget {
    Q_OBJECT

public:
    // The separator colour of the dark appearance.
    static inline const QColor separatorColor{255, 255, 255, 46};

    explicit Divider(Qt::Orientation orientation, QColor color = separatorColor, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation m_orientation;
    QColor m_color;
};

} // namespace Tivrand
