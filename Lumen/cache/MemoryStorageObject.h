#pragma once

#include "Lumen/cache/StorageExpiration.h"
#include "Lumen/foundation/Date.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <utility>

namespace Lumen {

// One entry of a memory storage: a value with its own expiry. Readers extend the expiry
// without the storage's lock, so the estimated expiration is a single atomic value; when two
// readers extend at once, either result may remain.
template <typename T>
class MemoryStorageObject {
public:
    MemoryStorageObject(T value, StorageExpiration expiration, Date now)
        : m_value(std::move(value)), m_expiration(expiration),
          m_estimatedExpiration(expiration.estimatedExpiration(now).time_since_epoch().count())
    {
    }
    virtual ~MemoryStorageObject() = default;
    MemoryStorageObject(const MemoryStorageObject&) = delete;
    MemoryStorageObject& operator=(const MemoryStorageObject&) = delete;

    // The stored value; none once its content was discarded.
    virtual std::optional<T> value() const { return m_value; }
    // Whether the entry stays when the application is suspended.
    virtual bool keepsWhenEnteringBackground() const { return false; }

    const StorageExpiration& expiration() const { return m_expiration; }
    Date estimatedExpiration() const { return Date(TimeInterval(m_estimatedExpiration.load(std::memory_order_relaxed))); }

    // Expired from the very moment of the estimated expiration on.
    bool isExpired(Date now) const
    {
        return m_estimatedExpiration.load(std::memory_order_relaxed) - now.time_since_epoch().count() <= 0.0;
    }

    // `cacheTime` goes back to the entry's own expiration, whatever extended it before.
    void extendExpiration(const ExpirationExtending& extending, Date now)
    {
        std::optional<StorageExpiration> base;
        switch (extending.kind()) {
        case ExpirationExtending::Kind::none:
            return;
        case ExpirationExtending::Kind::cacheTime:
            base = m_expiration;
            break;
        case ExpirationExtending::Kind::expirationTime:
            base = extending.expiration();
            break;
        }
        if (!base)
            return;
        // Hits within one tick of the coarse clock agree; not writing spares the cache line.
        const double extended = base->estimatedExpiration(now).time_since_epoch().count();
        if (m_estimatedExpiration.load(std::memory_order_relaxed) != extended)
            m_estimatedExpiration.store(extended, std::memory_order_relaxed);
    }

protected:
    // Never changed by this class; a subclass that changes it guards it itself.
    std::optional<T> m_value;

private:
    const StorageExpiration m_expiration;
    std::atomic<double> m_estimatedExpiration;
};

// An entry whose content may be discarded while the entry stays, and that is kept when the
// application is suspended. Content access is on from creation. Any thread may use it.
template <typename T>
class BackgroundKeepingStorageObject final : public MemoryStorageObject<T> {
public:
    using MemoryStorageObject<T>::MemoryStorageObject;

    std::optional<T> value() const override
    {
        std::lock_guard lock(m_mutex);
        return this->m_value;
    }
    bool keepsWhenEnteringBackground() const override { return true; }

    bool accessing() const
    {
        std::lock_guard lock(m_mutex);
        return m_accessing;
    }
    void setAccessing(bool accessing)
    {
        std::lock_guard lock(m_mutex);
        m_accessing = accessing;
    }

    // Access is on only while the content is there; answers whether it is.
    bool beginContentAccess()
    {
        std::lock_guard lock(m_mutex);
        m_accessing = this->m_value.has_value();
        return m_accessing;
    }
    void endContentAccess() { setAccessing(false); }
    // Drops the content, whether or not it is being accessed.
    void discardContentIfPossible()
    {
        std::optional<T> discarded;
        {
            std::lock_guard lock(m_mutex);
            discarded.swap(this->m_value);
        }
        // The value is released after the lock, by `discarded`.
    }
    bool isContentDiscarded() const
    {
        std::lock_guard lock(m_mutex);
        return !this->m_value.has_value();
    }

private:
    mutable std::mutex m_mutex;
    bool m_accessing = true;
};

} // namespace Lumen
