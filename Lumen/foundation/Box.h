#pragma once

#include <mutex>
#include <utility>

namespace Lumen {

// Lets a plain value travel where a shared object is required, e.g. a view's request
// identifier kept as an attached value. Carries no lock: its owner's thread uses it.
template<class T>
class Box {
public:
    explicit Box(T initial) : value(std::move(initial)) {}

    T value;
};

// A box that any thread may use: its value is only read and written under the box's own lock.
template<class T>
class ActorBox {
public:
    explicit ActorBox(T initial) : m_value(std::move(initial)) {}

    T value() const
    {
        std::lock_guard lock(m_mutex);
        return m_value;
    }

    void setValue(T value)
    {
        {
            std::lock_guard lock(m_mutex);
            std::swap(m_value, value);
        }
        // The replaced value is released after the lock, by `value`.
    }

    // Reads and changes the value in one step: `change` runs under the lock with the value and
    // answers what it answers. It must not use this box.
    template<class Change>
    auto update(Change&& change)
    {
        std::lock_guard lock(m_mutex);
        return std::forward<Change>(change)(m_value);
    }

private:
    mutable std::mutex m_mutex;
    T m_value;
};

} // namespace Lumen
