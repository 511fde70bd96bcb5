#include "Lumen/retrieval/MediaTime.h"

#include <cmath>
#include <limits>

namespace Lumen {

MediaTime MediaTime::fromSeconds(double seconds, std::int32_t timeScale)
{
    const double ticks = std::round(seconds * timeScale);
    // 2^63 is exact as a double; anything from there on does not fit the tick count.
    constexpr double tickBound = 9223372036854775808.0;
    if (timeScale <= 0 || !std::isfinite(ticks) || ticks >= tickBound || ticks < -tickBound)
        return MediaTime{};
    return MediaTime{static_cast<std::int64_t>(ticks), timeScale};
}

double MediaTime::seconds() const
{
    if (!isValid())
        return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(value) / timeScale;
}

} // namespace Lumen
