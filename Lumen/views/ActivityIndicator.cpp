#include "Lumen/views/ActivityIndicator.h"

#include <algorithm>

namespace Lumen {

ActivityIndicator::ActivityIndicator()
    : m_view(new ActivityIndicatorView)
{
}

void ActivityIndicator::startAnimatingView()
{
    if (m_animatingCount == 0) {
        if (ActivityIndicatorView* spinner = m_view.get())
            spinner->startAnimation();
        m_view.setShown(true);
    }
    ++m_animatingCount;
}

void ActivityIndicator::stopAnimatingView()
{
    m_animatingCount = std::max(m_animatingCount - 1, 0);
    if (m_animatingCount > 0)
        return;
    if (ActivityIndicatorView* spinner = m_view.get())
        spinner->stopAnimation();
    m_view.setShown(false);
}

IndicatorSizeStrategy ActivityIndicator::sizeStrategy(const QWidget&) const
{
    return IndicatorSizeStrategy::intrinsicSize();
}

} // namespace Lumen
