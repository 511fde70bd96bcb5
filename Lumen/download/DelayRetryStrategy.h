#pragma once

#include "Lumen/download/RetryStrategy.h"

#include <functional>
#include <memory>
#include <variant>

namespace Lumen {

class DispatchQueue;

// Retries failed responses, timeouts included (never requests the caller cancelled, nor other
// kinds of failure), at most `maxRetryCount` times, each after a delay.
class DelayRetryStrategy final : public RetryStrategy {
public:
    // The delay before a retry, from the number of retries made so far (n).
    struct Interval {
        // The same delay every time.
        struct Seconds {
            double value = 0;
        };
        // value x (n + 1).
        struct Accumulated {
            double value = 0;
        };
        struct Custom {
            std::function<double(int)> block;
        };
        std::variant<Seconds, Accumulated, Custom> value;

        static Interval seconds(double value) { return {Seconds{value}}; }
        static Interval accumulated(double value) { return {Accumulated{value}}; }
        static Interval custom(std::function<double(int)> block) { return {Custom{std::move(block)}}; }

        double timeInterval(int retriedCount) const;
    };

    // A delayed decision arrives on `queue`: the shared concurrent queue unless another is
    // given, so a thread that blocks on the retrieval (the main one too) never holds it up.
    DelayRetryStrategy(int maxRetryCount, Interval retryInterval, std::shared_ptr<DispatchQueue> queue = nullptr);

    int maxRetryCount() const { return m_maxRetryCount; }
    const Interval& retryInterval() const { return m_retryInterval; }

    // No delay decides at once, on the calling thread.
    void retry(const std::shared_ptr<RetryContext>& context,
               std::function<void(const RetryDecision&)> retryHandler) const override;

private:
    int m_maxRetryCount;
    Interval m_retryInterval;
    std::shared_ptr<DispatchQueue> m_queue;
};

} // namespace Lumen
