#include "Lumen/cache/StorageExpiration.h"

#include <limits>

namespace Lumen {

StorageExpiration StorageExpiration::seconds(double seconds)
{
    return StorageExpiration(Kind::seconds, seconds, 0, Date{});
}

StorageExpiration StorageExpiration::days(std::int64_t days)
{
    return StorageExpiration(Kind::days, 0.0, days, Date{});
}

StorageExpiration StorageExpiration::date(Date date)
{
    return StorageExpiration(Kind::date, 0.0, 0, date);
}

StorageExpiration StorageExpiration::never()
{
    return StorageExpiration(Kind::never, 0.0, 0, Date{});
}

StorageExpiration StorageExpiration::expired()
{
    return StorageExpiration(Kind::expired, 0.0, 0, Date{});
}

double StorageExpiration::daysInSeconds() const
{
    std::int64_t product = 0;
    if (__builtin_mul_overflow(m_days, secondsPerDay, &product))
        return static_cast<double>(m_days) * static_cast<double>(secondsPerDay);
    return static_cast<double>(product);
}

Date StorageExpiration::estimatedExpiration(Date now) const
{
    switch (m_kind) {
    case Kind::seconds:
        return now + TimeInterval(m_seconds);
    case Kind::days:
        return now + TimeInterval(daysInSeconds());
    case Kind::date:
        return m_date;
    case Kind::never:
        return distantFuture;
    case Kind::expired:
        break;
    }
    return distantPast;
}

TimeInterval StorageExpiration::timeInterval(Date now) const
{
    switch (m_kind) {
    case Kind::seconds:
        return TimeInterval(m_seconds);
    case Kind::days:
        return TimeInterval(daysInSeconds());
    case Kind::date:
        return m_date - now;
    case Kind::never:
        return TimeInterval(std::numeric_limits<double>::infinity());
    case Kind::expired:
        break;
    }
    return TimeInterval(-std::numeric_limits<double>::infinity());
}

ExpirationExtending ExpirationExtending::expirationTime(StorageExpiration expiration)
{
    return ExpirationExtending(Kind::expirationTime, expiration);
}

ExpirationExtending ExpirationExtending::none()
{
    return ExpirationExtending(Kind::none, std::nullopt);
}

ExpirationExtending ExpirationExtending::cacheTime()
{
    return ExpirationExtending(Kind::cacheTime, std::nullopt);
}

} // namespace Lumen
