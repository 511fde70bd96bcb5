#pragma once

#include "Lumen/foundation/Date.h"

#include <cstdint>
#include <optional>

namespace Lumen {

// When a value stored now stops being valid. A plain value.
class StorageExpiration {
public:
    enum class Kind { seconds, days, date, never, expired };

    static constexpr std::int64_t secondsPerDay = 86400;

    // Valid for that many seconds after storing.
    static StorageExpiration seconds(double seconds);
    // Valid for that many days of exactly 86400 seconds after storing.
    static StorageExpiration days(std::int64_t days);
    // Valid until that moment.
    static StorageExpiration date(Date date);
    static StorageExpiration never();
    // Already expired: a value stored with it is not kept.
    static StorageExpiration expired();

    Kind kind() const { return m_kind; }

    // The moment a value stored at `now` expires: `date` gives its own moment whatever `now`
    // is, `never` the far future and `expired` the far past.
    Date estimatedExpiration(Date now) const;
    Date estimatedExpirationSinceNow() const { return estimatedExpiration(currentDate()); }

    // The remaining lifetime in seconds, counted from `now` for `date`; +infinity for
    // `never`, -infinity for `expired`.
    TimeInterval timeInterval(Date now) const;
    TimeInterval timeInterval() const { return timeInterval(currentDate()); }

    // Whether the lifetime is already over (at most 0 seconds). A NaN `seconds` lifetime
    // counts as not expired.
    bool isExpired(Date now) const { return timeInterval(now).count() <= 0.0; }
    bool isExpired() const { return isExpired(currentDate()); }

    bool operator==(const StorageExpiration&) const = default;

private:
    StorageExpiration(Kind kind, double seconds, std::int64_t days, Date date)
        : m_kind(kind), m_seconds(seconds), m_days(days), m_date(date) {}

    // The `days` lifetime in seconds. Counts too large for 64-bit seconds are computed in
    // floating point rather than overflowing.
    double daysInSeconds() const;

    Kind m_kind;
    double m_seconds = 0.0;
    std::int64_t m_days = 0;
    Date m_date;
};

// What a read of a stored value does to its expiry moment.
class ExpirationExtending {
public:
    enum class Kind {
        // Reset to the carried expiration, counted from the read.
        expirationTime,
        // Left unchanged.
        none,
        // Reset to the value's own stored expiration, counted from the read.
        cacheTime,
    };

    static ExpirationExtending expirationTime(StorageExpiration expiration);
    static ExpirationExtending none();
    static ExpirationExtending cacheTime();

    Kind kind() const { return m_kind; }
    // The expiration an `expirationTime` read resets to; absent for the other kinds.
    const std::optional<StorageExpiration>& expiration() const { return m_expiration; }

    bool operator==(const ExpirationExtending&) const = default;

private:
    ExpirationExtending(Kind kind, std::optional<StorageExpiration> expiration)
        : m_kind(kind), m_expiration(expiration) {}

    Kind m_kind;
    std::optional<StorageExpiration> m_expiration;
};

} // namespace Lumen
