#pragma once

#include "Lumen/views/ActivityIndicatorView.h"
#include "Lumen/views/Indicator.h"
#include "Lumen/views/OwnedIndicatorView.h"

namespace Lumen {

// A small spinner at its own size. Starts and stops nest: it spins while any start is not
// yet matched by a stop, so overlapping loads sharing it keep it going until the last ends.
class ActivityIndicator final : public Indicator {
public:
    ActivityIndicator();

    void startAnimatingView() override;
    // A stop without a start hides the spinner and leaves the count at 0.
    void stopAnimatingView() override;
    QWidget* view() const override { return m_view.get(); }
    IndicatorSizeStrategy sizeStrategy(const QWidget& imageView) const override;

    ActivityIndicatorView* activityIndicatorView() const { return m_view.get(); }
    // Starts not yet matched by a stop.
    int animatingCount() const { return m_animatingCount; }

private:
    OwnedIndicatorView<ActivityIndicatorView> m_view;
    int m_animatingCount = 0;
};

} // namespace Lumen
