#include "Lumen/download/DelayRetryStrategy.h"

#include "Lumen/download/RetryContext.h"
#include "Lumen/foundation/DispatchQueue.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace Lumen {

namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

// The longest delay a timer holds: a longer one, infinity included, waits this long.
constexpr double longestDelaySeconds = std::numeric_limits<int>::max() / 1000.0;

} // namespace

double DelayRetryStrategy::Interval::timeInterval(int retriedCount) const
{
    return std::visit(Overloaded{
                          [](const Seconds& seconds) { return seconds.value; },
                          [&](const Accumulated& accumulated) {
                              return accumulated.value * static_cast<double>(retriedCount + 1);
                          },
                          [&](const Custom& custom) { return custom.block ? custom.block(retriedCount) : 0.0; },
                      },
                      value);
}

DelayRetryStrategy::DelayRetryStrategy(int maxRetryCount, Interval retryInterval, std::shared_ptr<DispatchQueue> queue)
    : m_maxRetryCount(maxRetryCount)
    , m_retryInterval(std::move(retryInterval))
    , m_queue(queue ? std::move(queue) : DispatchQueue::global())
{
}

void DelayRetryStrategy::retry(const std::shared_ptr<RetryContext>& context,
                               std::function<void(const RetryDecision&)> retryHandler) const
{
    const int retriedCount = context->retriedCount();
    const LumenError error = context->error();
    if (retriedCount >= m_maxRetryCount || error.isTaskCancelled()
        || error.errorCase() != LumenError::Case::responseError) {
        retryHandler(RetryDecision::stop());
        return;
    }
    const double delay = m_retryInterval.timeInterval(retriedCount);
    if (!(delay > 0)) {
        retryHandler(RetryDecision::retry());
        return;
    }
    const auto duration = std::chrono::duration_cast<DispatchQueue::Duration>(
        std::chrono::duration<double>(std::min(delay, longestDelaySeconds)));
    m_queue->asyncAfter(duration, [retryHandler = std::move(retryHandler)] { retryHandler(RetryDecision::retry()); });
}

} // namespace Lumen
