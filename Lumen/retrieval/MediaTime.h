#pragma once

#include <cstdint>

namespace Lumen {

// A point in a movie: `value` ticks of 1/`timeScale` second each. A time scale that is not
// positive marks an invalid time (from seconds that are not finite or do not fit).
struct MediaTime {
    // Fine enough for the common frame rates.
    static constexpr std::int32_t preferredTimeScale = 600;

    std::int64_t value = 0;
    std::int32_t timeScale = 0;

    // `seconds` rounded to the nearest tick.
    static MediaTime fromSeconds(double seconds, std::int32_t timeScale = preferredTimeScale);

    bool isValid() const { return timeScale > 0; }
    // NaN for an invalid time.
    double seconds() const;
};

} // namespace Lumen
