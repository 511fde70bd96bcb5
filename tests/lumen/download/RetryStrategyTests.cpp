#include "Lumen/download/DelayRetryStrategy.h"
#include "Lumen/download/RetryContext.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/ManualDispatchClock.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <limits>
#include <optional>

namespace Lumen::Testing {
namespace {

using Response = LumenError::ResponseErrorReason;

const Source source = Source::network(LM::ImageResource(QUrl(QStringLiteral("http://a/b.png")), QStringLiteral("key")));

const LumenError statusError = Response::InvalidHTTPStatusCode{URLResponse{}};

std::optional<RetryDecision::Kind> decide(const DelayRetryStrategy& strategy, const std::shared_ptr<RetryContext>& context)
{
    std::optional<RetryDecision::Kind> decided;
    strategy.retry(context, [&](const RetryDecision& decision) { decided = decision.kind; });
    return decided;
}

TEST(DelayRetryStrategy, OnlyResponseFailuresWithRetriesLeftAreRetried)
{
    const LumenError cancelledTransfer =
        Response::URLSessionError{UnderlyingError::network(QNetworkReply::OperationCanceledError, QStringLiteral("x"))};
    const LumenError timedOut =
        Response::URLSessionError{UnderlyingError::network(QNetworkReply::TimeoutError, QStringLiteral("x"))};
    using Kind = RetryDecision::Kind;
    const struct { const char* name; int maxRetryCount; LumenError error; Kind expected; } cases[] = {
        {"status", 1, statusError, Kind::retry},
        {"no retries", 0, statusError, Kind::stop},
        {"caller cancelled", 3, LumenError::RequestErrorReason::TaskCancelled{nullptr, 0}, Kind::stop},
        // Only the caller's own cancel stops retries.
        {"transfer cancelled", 3, cancelledTransfer, Kind::retry},
        {"timed out", 3, timedOut, Kind::retry},
        {"cache", 3, LumenError::CacheErrorReason::ImageNotExisting{QStringLiteral("k")}, Kind::stop},
    };
    for (const auto& c : cases) {
        const DelayRetryStrategy strategy(c.maxRetryCount, DelayRetryStrategy::Interval::seconds(0));
        EXPECT_EQ(decide(strategy, std::make_shared<RetryContext>(source, c.error)), c.expected) << c.name;
    }
    // The context keeps the latest failure.
    const auto context = std::make_shared<RetryContext>(source, statusError);
    context->setError(LumenError::RequestErrorReason::TaskCancelled{nullptr, 0});
    EXPECT_EQ(decide(DelayRetryStrategy(3, DelayRetryStrategy::Interval::seconds(0)), context), Kind::stop);
}

TEST(DelayRetryStrategy, DelayedDecisionsFollowTheClock)
{
    const auto clock = ManualDispatchClock::make();
    const auto main = DispatchQueue::makeMain(clock);
    // 3 x (n + 1) seconds before the n-th retry, and 2 x n for the custom interval.
    const struct { DelayRetryStrategy::Interval interval; int retriedCount; double seconds; } cases[] = {
        {DelayRetryStrategy::Interval::accumulated(3), 0, 3},
        {DelayRetryStrategy::Interval::accumulated(3), 2, 9},
        {DelayRetryStrategy::Interval::custom([](int n) { return 2.0 * n; }), 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        const DelayRetryStrategy strategy(5, c.interval, main);
        const auto context = std::make_shared<RetryContext>(source, statusError);
        context->setRetriedCount(c.retriedCount);
        const auto decided = std::make_shared<std::optional<RetryDecision::Kind>>();
        strategy.retry(context, [decided](const RetryDecision& decision) { *decided = decision.kind; });
        clock->advance(std::chrono::milliseconds(static_cast<int>(c.seconds * 1000) - 1));
        Tivrand::Testing::pumpEvents(std::chrono::milliseconds(20));
        EXPECT_FALSE(*decided);
        clock->advance(std::chrono::milliseconds(1));
        EXPECT_TRUE(Tivrand::Testing::waitUntil([&] { return *decided == RetryDecision::Kind::retry; }));
    }
}

TEST(DelayRetryStrategy, AnEndlessDelayWaitsTheLongestTimerAndNeverRetriesAtOnce)
{
    for (const double seconds : {1e300, std::numeric_limits<double>::infinity()}) {
        const auto clock = ManualDispatchClock::make();
        const DelayRetryStrategy strategy(1, DelayRetryStrategy::Interval::seconds(seconds), DispatchQueue::makeMain(clock));
        const auto decided = std::make_shared<std::atomic<bool>>(false);
        strategy.retry(std::make_shared<RetryContext>(source, statusError), [decided](const RetryDecision&) { *decided = true; });
        clock->advance(std::chrono::hours(24 * 24));
        Tivrand::Testing::pumpEvents(std::chrono::milliseconds(20));
        EXPECT_FALSE(*decided) << seconds;
        clock->advance(std::chrono::hours(24));
        EXPECT_TRUE(Tivrand::Testing::waitUntil([&] { return decided->load(); })) << seconds;
    }
}

TEST(DelayRetryStrategy, ADelayedDecisionComesWhileTheMainThreadIsBlocked)
{
    const auto decided = std::make_shared<std::promise<void>>();
    DelayRetryStrategy(1, DelayRetryStrategy::Interval::seconds(0.01))
        .retry(std::make_shared<RetryContext>(source, statusError), [decided](const RetryDecision&) { decided->set_value(); });
    EXPECT_EQ(decided->get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

} // namespace
} // namespace Lumen::Testing
