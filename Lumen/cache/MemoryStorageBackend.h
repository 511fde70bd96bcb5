#pragma once

#include "Lumen/cache/CacheCostCalculable.h"
#include "Lumen/cache/FlatStringMap.h"
#include "Lumen/cache/LumenNotifications.h"
#include "Lumen/cache/MemoryStorageConfig.h"
#include "Lumen/cache/MemoryStorageObject.h"
#include "Lumen/cache/StorageClock.h"
#include "Lumen/cache/StorageExpiration.h"
#include "Lumen/foundation/DispatchQueue.h"

#include <QHash>
#include <QString>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Lumen {

// Values under string keys, each with its own expiry, bounded by a total cost and an entry
// count. Past a limit the oldest stored entries are dropped first. A repeating sweep drops
// expired entries; an expired entry is never answered, swept or not. When the application is
// suspended, every entry goes except those stored while `keepWhenEnteringBackground` was set.
//
// Any thread may call anything. Writers (store, remove, sweep) are serialised by one mutex;
// readers never wait for it: entries live in striped maps whose shared locks are held
// exclusively only for the moment of an insert or erase.
template <CacheCostCalculable T>
class MemoryStorageBackend final : public std::enable_shared_from_this<MemoryStorageBackend<T>> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // Starts the periodic sweep at `config.cleanInterval` (none when that is not positive).
    // The sweep and the watch on the application's state hold the storage weakly.
    static std::shared_ptr<MemoryStorageBackend> make(MemoryStorageConfig config, StorageClock clock = {})
    {
        auto backend = std::make_shared<MemoryStorageBackend>(Passkey{}, std::move(config), std::move(clock));
        backend->scheduleSweep();
        backend->observeSuspension();
        return backend;
    }

    MemoryStorageBackend(Passkey, MemoryStorageConfig config, StorageClock clock)
        : m_config(std::move(config)), m_sweepInterval(m_config.cleanInterval), m_clock(std::move(clock))
    {
    }

    ~MemoryStorageBackend() { QObject::disconnect(m_suspensionConnection); }

    MemoryStorageConfig config() const
    {
        std::lock_guard lock(m_mutex);
        return m_config;
    }

    // New limits apply at once (entries past them are dropped); a new expiration and
    // background keeping apply to later stores; the sweep keeps its first interval.
    void setConfig(MemoryStorageConfig config)
    {
        std::lock_guard lock(m_mutex);
        m_config = std::move(config);
        evictOverLimitsLocked();
    }

    // Stores `value` with `expiration`, or the configured one when none is given. A value
    // whose expiration is already over is not stored, and an older entry under the key stays
    // in place. A value that costs more than the whole cost limit is not stored either, and
    // nothing else is evicted for it, but the older entry under its key goes: it no longer
    // holds the key's current value.
    void store(T value, const QString& key, std::optional<StorageExpiration> expiration = std::nullopt)
    {
        std::lock_guard lock(m_mutex);
        const StorageExpiration lifetime = expiration.value_or(m_config.expiration);
        const Date now = m_clock.now.coarse();
        if (lifetime.isExpired(now))
            return;
        const std::int64_t cost = std::max<std::int64_t>(0, cacheCost(value));
        if (m_config.totalCostLimit > 0 && cost > m_config.totalCostLimit) {
            eraseLocked(key);
            return;
        }
        std::unique_ptr<Entry> entry;
        if (m_config.keepWhenEnteringBackground)
            entry = std::make_unique<BackgroundKeepingStorageObject<T>>(std::move(value), lifetime, now);
        else
            entry = std::make_unique<Entry>(std::move(value), lifetime, now);
        Entry* const stored = entry.get();

        // Replaced in place, so readers never see the key missing in between.
        if (const auto previous = m_ledger.find(key); previous != m_ledger.end()) {
            m_totalCost -= previous->second.cost;
            m_order.erase(previous->second.order);
        }
        std::unique_ptr<Entry> replaced;
        {
            const std::size_t hash = hashOf(key);
            Stripe& stripe = stripeFor(hash);
            std::unique_lock stripeLock(stripe.mutex);
            replaced = stripe.entries.insertOrAssign(key, hash, std::move(entry));
        }
        m_order.push_back(key);
        m_ledger.insert_or_assign(key, LedgerItem{std::prev(m_order.end()), cost, stored});
        m_totalCost += cost;
        evictOverLimitsLocked();
    }

    // The live value under `key`, after extending its expiry as `extending` says; none when
    // absent or expired.
    std::optional<T> value(const QString& key, const ExpirationExtending& extending) const
    {
        const Date now = m_clock.now.coarse();
        const std::size_t hash = hashOf(key);
        const Stripe& stripe = stripeFor(hash);
        std::shared_lock stripeLock(stripe.mutex);
        Entry* const found = stripe.entries.find(key, hash);
        if (!found)
            return std::nullopt;
        Entry& entry = *found;
        if (entry.isExpired(now))
            return std::nullopt;
        entry.extendExpiration(extending, now);
        return entry.value();
    }

    // Whether a live value is stored; never extends its life.
    bool isCached(const QString& key) const { return value(key, ExpirationExtending::none()).has_value(); }

    void remove(const QString& key)
    {
        std::lock_guard lock(m_mutex);
        eraseLocked(key);
    }

    void removeAll()
    {
        std::lock_guard lock(m_mutex);
        for (Stripe& stripe : m_stripes) {
            // Released after the stripe's lock, which readers wait for.
            FlatStringMap<Entry> dropped;
            {
                std::unique_lock stripeLock(stripe.mutex);
                std::swap(dropped, stripe.entries);
            }
        }
        m_ledger.clear();
        m_order.clear();
        m_totalCost = 0;
    }

    // Drops every expired entry.
    void removeExpired()
    {
        std::lock_guard lock(m_mutex);
        const Date now = m_clock.now.coarse();
        std::vector<QString> expired;
        for (const auto& [key, item] : m_ledger) {
            if (item.entry->isExpired(now))
                expired.push_back(key);
        }
        for (const QString& key : expired)
            eraseLocked(key);
    }

    // The keys of the stored entries, expired ones included until swept.
    std::vector<QString> keys() const
    {
        std::lock_guard lock(m_mutex);
        std::vector<QString> result;
        result.reserve(m_ledger.size());
        for (const auto& [key, item] : m_ledger)
            result.push_back(key);
        return result;
    }

    // The sum of the stored entries' costs, saturated at the largest 64-bit value.
    std::int64_t totalCost() const
    {
        std::lock_guard lock(m_mutex);
        return static_cast<std::int64_t>(std::min<CostSum>(m_totalCost, std::numeric_limits<std::int64_t>::max()));
    }

private:
    using Entry = MemoryStorageObject<T>;

    // Each key is hashed once, for both its stripe and its slot.
    struct alignas(64) Stripe {
        mutable std::shared_mutex mutex;
        FlatStringMap<Entry> entries;
    };

    // Writer-side bookkeeping of one entry, guarded by `m_mutex`.
    struct LedgerItem {
        typename std::list<QString>::iterator order;
        std::int64_t cost = 0;
        Entry* entry = nullptr;
    };

    static constexpr int stripeBits = 6;
    static constexpr std::size_t stripeCount = std::size_t{1} << stripeBits;
    // Cap on the sweep period: longer ones would overflow the timer's nanosecond ticks.
    static constexpr std::chrono::hours longestSweepInterval{24 * 365};

    static std::size_t hashOf(const QString& key) { return qHash(key, 0x9e3779b9U); }

    Stripe& stripeFor(std::size_t hash) const
    {
        // The top bits, so the choice of stripe does not correlate with the map's buckets.
        return m_stripes[hash >> (std::numeric_limits<std::size_t>::digits - stripeBits)];
    }

    void eraseLocked(const QString& key)
    {
        const auto found = m_ledger.find(key);
        if (found == m_ledger.end())
            return;
        m_totalCost -= found->second.cost;
        m_order.erase(found->second.order);
        m_ledger.erase(found);
        const std::size_t hash = hashOf(key);
        Stripe& stripe = stripeFor(hash);
        std::unique_ptr<Entry> dropped;
        {
            std::unique_lock stripeLock(stripe.mutex);
            dropped = stripe.entries.take(key, hash);
        }
        // `dropped` (and the value's destructor) runs outside the stripe lock.
    }

    void evictOverLimitsLocked()
    {
        const auto overCost = [this] { return m_config.totalCostLimit > 0 && m_totalCost > m_config.totalCostLimit; };
        const auto overCount = [this] {
            return m_config.countLimit > 0 && static_cast<std::int64_t>(m_ledger.size()) > m_config.countLimit;
        };
        while (!m_order.empty() && (overCost() || overCount())) {
            const QString oldest = m_order.front();
            eraseLocked(oldest);
        }
    }

    void removeEntriesNotKeptInBackground()
    {
        std::lock_guard lock(m_mutex);
        std::vector<QString> dropped;
        for (const auto& [key, item] : m_ledger) {
            if (!item.entry->keepsWhenEnteringBackground())
                dropped.push_back(key);
        }
        for (const QString& key : dropped)
            eraseLocked(key);
    }

    void observeSuspension()
    {
        LumenNotifications& notifications = LumenNotifications::instance();
        m_suspensionConnection = QObject::connect(&notifications, &LumenNotifications::applicationSuspended,
                                                  &notifications, [weakSelf = this->weak_from_this()] {
                                                      if (const auto self = weakSelf.lock())
                                                          self->removeEntriesNotKeptInBackground();
                                                  });
    }

    void scheduleSweep()
    {
        const std::chrono::duration<double> interval = m_sweepInterval;
        if (!(interval.count() > 0.0))
            return;
        const auto delay = std::chrono::duration_cast<DispatchQueue::Duration>(
            std::min<std::chrono::duration<double>>(interval, longestSweepInterval));
        // The pending tick holds nothing but a weak reference, so a storage that is let go
        // is freed at once and its next tick ends the series.
        std::weak_ptr<MemoryStorageBackend> weakSelf = this->weak_from_this();
        const auto deadline = m_clock.timer->now() + std::max(delay, DispatchQueue::Duration{1});
        m_clock.timer->schedule(deadline, [weakSelf] {
            DispatchQueue::global()->async([weakSelf] {
                if (const auto self = weakSelf.lock()) {
                    self->removeExpired();
                    self->scheduleSweep();
                }
            });
        });
    }

    mutable std::array<Stripe, stripeCount> m_stripes;
    mutable std::mutex m_mutex;
    MemoryStorageConfig m_config;
    const std::chrono::duration<double> m_sweepInterval;
    std::unordered_map<QString, LedgerItem> m_ledger;
    std::list<QString> m_order;
    // Exact even past the 64-bit range, so removals bring it back to the true sum.
    __extension__ typedef __int128 CostSum;
    CostSum m_totalCost = 0;
    const StorageClock m_clock;
    // Set once by `make`, before anyone else holds the storage.
    QMetaObject::Connection m_suspensionConnection;
};

} // namespace Lumen
