#pragma once

#include <any>
#include <utility>

namespace Lumen {

// What a retry strategy decided about a failed retrieval.
struct RetryDecision {
    enum class Kind { retry, stop };

    // Try again; `userInfo` (any value, or none) is kept in the context for the next attempt.
    static RetryDecision retry(std::any userInfo = {}) { return RetryDecision{Kind::retry, std::move(userInfo)}; }
    static RetryDecision stop() { return RetryDecision{Kind::stop, {}}; }

    Kind kind = Kind::stop;
    std::any userInfo;
};

} // namespace Lumen
