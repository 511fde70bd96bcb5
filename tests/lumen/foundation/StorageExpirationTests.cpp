#include "Lumen/cache/StorageExpiration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace Lumen {
namespace {

// 2024-03-01 12:00:00 UTC.
constexpr Date now{TimeInterval{1709294400.0}};

TEST(StorageExpiration, SecondsExpireAtZeroAndBelow)
{
    EXPECT_TRUE(StorageExpiration::seconds(0).isExpired(now));
    EXPECT_TRUE(StorageExpiration::seconds(-5).isExpired(now));
    EXPECT_FALSE(StorageExpiration::seconds(0.001).isExpired(now));
    EXPECT_FALSE(StorageExpiration::seconds(std::nan("")).isExpired(now));

    EXPECT_EQ(StorageExpiration::seconds(300).timeInterval(now).count(), 300.0);
    EXPECT_EQ(StorageExpiration::seconds(300).estimatedExpiration(now), now + TimeInterval(300.0));
}

TEST(StorageExpiration, DaysAreWholeDaysOfSeconds)
{
    EXPECT_TRUE(StorageExpiration::days(0).isExpired(now));
    EXPECT_EQ(StorageExpiration::days(1).timeInterval(now).count(), 86400.0);
    EXPECT_EQ(StorageExpiration::days(7).estimatedExpiration(now), now + TimeInterval(7 * 86400.0));
    EXPECT_FALSE(StorageExpiration::days(1).isExpired(now));
}

TEST(StorageExpiration, DayCountsBeyond64BitSecondsStayOrdered)
{
    constexpr auto most = std::numeric_limits<std::int64_t>::max();
    const auto far = StorageExpiration::days(most);
    EXPECT_FALSE(far.isExpired(now));
    EXPECT_GT(far.timeInterval(now).count(), StorageExpiration::days(most / 86400).timeInterval(now).count());
    EXPECT_TRUE(std::isfinite(far.timeInterval(now).count()));

    EXPECT_TRUE(StorageExpiration::days(std::numeric_limits<std::int64_t>::min()).isExpired(now));
}

TEST(StorageExpiration, DateIsAbsolute)
{
    const Date past = now - TimeInterval(1.0);
    const Date ahead = now + TimeInterval(60.0);

    EXPECT_TRUE(StorageExpiration::date(past).isExpired(now));
    EXPECT_EQ(StorageExpiration::date(past).timeInterval(now).count(), -1.0);
    EXPECT_FALSE(StorageExpiration::date(ahead).isExpired(now));
    EXPECT_EQ(StorageExpiration::date(ahead).timeInterval(now).count(), 60.0);

    // The moment does not move with "now".
    EXPECT_EQ(StorageExpiration::date(ahead).estimatedExpiration(now), ahead);
    EXPECT_EQ(StorageExpiration::date(ahead).estimatedExpiration(now + TimeInterval(1000.0)), ahead);
}

TEST(StorageExpiration, NeverAndExpiredUseTheSentinels)
{
    const auto never = StorageExpiration::never();
    EXPECT_FALSE(never.isExpired(now));
    EXPECT_EQ(never.estimatedExpiration(now), distantFuture);
    EXPECT_EQ(never.timeInterval(now).count(), std::numeric_limits<double>::infinity());

    const auto expired = StorageExpiration::expired();
    EXPECT_TRUE(expired.isExpired(now));
    EXPECT_EQ(expired.estimatedExpiration(now), distantPast);
    EXPECT_EQ(expired.timeInterval(now).count(), -std::numeric_limits<double>::infinity());

    EXPECT_LT(distantPast, now);
    EXPECT_GT(distantFuture, now);
}

TEST(StorageExpiration, SinceNowFormsCountFromTheClock)
{
    const Date before = currentDate();
    const Date estimated = StorageExpiration::seconds(300).estimatedExpirationSinceNow();
    const Date after = currentDate();
    EXPECT_GE(estimated, before + TimeInterval(300.0));
    EXPECT_LE(estimated, after + TimeInterval(300.0));

    EXPECT_TRUE(StorageExpiration::date(before - TimeInterval(1.0)).isExpired());
    EXPECT_FALSE(StorageExpiration::days(1).isExpired());
}

TEST(StorageExpiration, EqualityComparesCaseAndPayload)
{
    EXPECT_EQ(StorageExpiration::seconds(5), StorageExpiration::seconds(5));
    EXPECT_NE(StorageExpiration::seconds(5), StorageExpiration::seconds(6));
    EXPECT_NE(StorageExpiration::seconds(86400), StorageExpiration::days(1));
    EXPECT_EQ(StorageExpiration::never(), StorageExpiration::never());
    EXPECT_NE(StorageExpiration::never(), StorageExpiration::expired());
}

TEST(ExpirationExtending, CarriesItsExpirationOnlyForExpirationTime)
{
    const auto extending = ExpirationExtending::expirationTime(StorageExpiration::seconds(10));
    EXPECT_EQ(extending.kind(), ExpirationExtending::Kind::expirationTime);
    EXPECT_EQ(extending.expiration(), StorageExpiration::seconds(10));

    EXPECT_EQ(ExpirationExtending::none().kind(), ExpirationExtending::Kind::none);
    EXPECT_FALSE(ExpirationExtending::none().expiration().has_value());
    EXPECT_EQ(ExpirationExtending::cacheTime().kind(), ExpirationExtending::Kind::cacheTime);
    EXPECT_FALSE(ExpirationExtending::cacheTime().expiration().has_value());

    EXPECT_NE(ExpirationExtending::none(), ExpirationExtending::cacheTime());
    EXPECT_NE(extending, ExpirationExtending::expirationTime(StorageExpiration::seconds(11)));
}

} // namespace
} // namespace Lumen
