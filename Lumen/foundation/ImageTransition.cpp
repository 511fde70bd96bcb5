#include "Lumen/foundation/ImageTransition.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Lumen {

ImageTransition ImageTransition::none()
{
    return {};
}

ImageTransition ImageTransition::fade(double seconds)
{
    const bool usable = std::isfinite(seconds) && seconds > 0.0;
    return ImageTransition(Kind::fade, usable ? seconds : 0.0);
}

int ImageTransition::durationMilliseconds() const
{
    constexpr double largest = std::numeric_limits<int>::max();
    return static_cast<int>(std::min(std::round(m_duration * 1000.0), largest));
}

} // namespace Lumen
