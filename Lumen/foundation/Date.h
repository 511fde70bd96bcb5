#pragma once

#include <chrono>

namespace Lumen {

// A moment in time as fractional seconds since the Unix epoch. A double is wide enough for
// the far-future and far-past sentinels, which a nanosecond clock cannot represent.
using Date = std::chrono::time_point<std::chrono::system_clock, std::chrono::duration<double>>;

// Seconds between two moments, or a lifetime, as a double.
using TimeInterval = std::chrono::duration<double>;

// The moments that stand for "expired long ago" (the start of year 1 in the Julian calendar)
// and "never expires" (4001-01-01 UTC).
inline constexpr Date distantPast{TimeInterval{-62135769600.0}};
inline constexpr Date distantFuture{TimeInterval{64092211200.0}};

inline Date currentDate()
{
    return std::chrono::time_point_cast<TimeInterval>(std::chrono::system_clock::now());
}

} // namespace Lumen
