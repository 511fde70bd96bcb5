#pragma once

#include "Lumen/download/RetryDecision.h"

#include <functional>
#include <memory>

namespace Lumen {

class RetryContext;

// Decides whether, and when, a failed retrieval is tried again.
class RetryStrategy {
public:
    virtual ~RetryStrategy() = default;

    // Calls `retryHandler` exactly once, before returning or later on another queue.
    virtual void retry(const std::shared_ptr<RetryContext>& context,
                       std::function<void(const RetryDecision&)> retryHandler) const = 0;
};

} // namespace Lumen
