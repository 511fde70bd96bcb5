#pragma once

#include <QVariantAnimation>
#include <QWidget>

namespace Lumen {

// A small spinning progress indicator: an open ring that turns once a second while it
// animates. Ignores the mouse, so the widget under it stays usable. GUI thread only.
class ActivityIndicatorView final : public QWidget {
public:
    static constexpr int sideLength = 16;

    explicit ActivityIndicatorView(QWidget* parent = nullptr);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVariantAnimation m_rotation;
};

} // namespace Lumen
