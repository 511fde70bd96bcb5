#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

namespace Lumen {

// A list shared between threads: every operation holds the lock for its whole run, so a
// reader sees each element either before or after a write, never in between. Work on an
// element (such as decoding it) happens outside, between a read and a write.
template <typename T>
class SafeArray {
public:
    // Nothing for an index out of range.
    std::optional<T> at(std::ptrdiff_t index) const
    {
        std::lock_guard lock(m_mutex);
        if (index < 0 || static_cast<std::size_t>(index) >= m_array.size())
            return std::nullopt;
        return m_array[static_cast<std::size_t>(index)];
    }

    // Ignored for an index out of range: the list may have been cleared meanwhile.
    void set(std::ptrdiff_t index, T value)
    {
        // The replaced element goes after the lock is released.
        T replaced = std::move(value);
        {
            std::lock_guard lock(m_mutex);
            if (index < 0 || static_cast<std::size_t>(index) >= m_array.size())
                return;
            std::swap(m_array[static_cast<std::size_t>(index)], replaced);
        }
    }

    void append(T value)
    {
        std::lock_guard lock(m_mutex);
        m_array.push_back(std::move(value));
    }

    void removeAll()
    {
        std::vector<T> removed;
        std::lock_guard lock(m_mutex);
        m_array.swap(removed);
    }

    void reserveCapacity(std::size_t capacity)
    {
        std::lock_guard lock(m_mutex);
        m_array.reserve(capacity);
    }

    std::size_t count() const
    {
        std::lock_guard lock(m_mutex);
        return m_array.size();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<T> m_array;
};

} // namespace Lumen
