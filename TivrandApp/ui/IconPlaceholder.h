#pragma once

#include <QWidget>

namespace Tivrand {

class BusyIndicator;

// What stands in for an app's icon while it loads: a gray rounded square under a small
// indeterminate progress indicator. A load that failed leaves the square alone, without the
// indicator, so it no longer looks as if something were coming.
class IconPlaceholder : public QWidget {
    Q_OBJECT

public:
    explicit IconPlaceholder(qreal cornerRadius, QWidget* parent = nullptr);

    const BusyIndicator& indicator() const { return *m_indicator; }
    // Stops and hides the indicator for good.
    void showFailed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    qreal m_cornerRadius;
    BusyIndicator* m_indicator;
};

} // namespace Tivrand
