#include "Lumen/cache/StorageExpiration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace Lumen {
namespace {

// 2024-03-01 12:00:00 UTC.
constexpr Date now{TimeInterval{1709294400.0}};
constexpr double infinity = std::numeric_limits<double>::infinity();

TEST(StorageExpiration, ExpiryIntervalAndEstimateForEachCase)
{
    const struct { StorageExpiration expiration; bool expired; double interval; Date estimate; } table[] = {
        {StorageExpiration::seconds(0), true, 0, now},
        {StorageExpiration::days(7), false, 7 * 86400.0, now + TimeInterval(7 * 86400.0)},
        {StorageExpiration::date(now - TimeInterval(1.0)), true, -1, now - TimeInterval(1.0)},
        {StorageExpiration::never(), false, infinity, distantFuture},
        {StorageExpiration::expired(), true, -infinity, distantPast},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - table));
        EXPECT_EQ(row.expiration.isExpired(now), row.expired);
        EXPECT_EQ(row.expiration.timeInterval(now).count(), row.interval);
        EXPECT_EQ(row.expiration.estimatedExpiration(now), row.estimate);
    }
    EXPECT_FALSE(StorageExpiration::seconds(0.001).isExpired(now));
    EXPECT_FALSE(StorageExpiration::seconds(std::nan("")).isExpired(now));
    // The forms without a date count from the clock.
    const Date before = currentDate();
    EXPECT_GE(StorageExpiration::seconds(300).estimatedExpirationSinceNow(), before + TimeInterval(300.0));
    EXPECT_TRUE(StorageExpiration::date(before - TimeInterval(1.0)).isExpired());
}

TEST(StorageExpiration, DayCountsBeyond64BitSecondsStayOrdered)
{
    constexpr auto most = std::numeric_limits<std::int64_t>::max();
    const auto far = StorageExpiration::days(most);
    EXPECT_GT(far.timeInterval(now).count(), StorageExpiration::days(most / 86400).timeInterval(now).count());
    EXPECT_TRUE(StorageExpiration::days(std::numeric_limits<std::int64_t>::min()).isExpired(now));
}

} // namespace
} // namespace Lumen
