#pragma once

#include <QString>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace Lumen {

// Owned values under string keys, whose hashes the caller gives. The slots sit in one array
// probed linearly, each with its key's hash, so a lookup reads one slot before the key's
// characters and the value: a node map reads a bucket, the node before and the node itself
// first, each a cache miss on a cold hit. At most half full; a removal shifts the slots
// after it back, so a probe never passes a hole. Not guarded.
template <typename Value>
class FlatStringMap {
public:
    // Null when absent.
    Value* find(const QString& key, std::size_t hash) const
    {
        if (m_slots.empty())
            return nullptr;
        for (std::size_t index = hash & mask();; index = (index + 1) & mask()) {
            const Slot& slot = m_slots[index];
            if (!slot.value)
                return nullptr;
            if (slot.hash == hash && slot.key == key)
                return slot.value.get();
        }
    }

    // Puts `value` (not null) under `key`; answers the value it replaces, null when none.
    std::unique_ptr<Value> insertOrAssign(const QString& key, std::size_t hash, std::unique_ptr<Value> value)
    {
        if (2 * (m_size + 1) > m_slots.size())
            grow();
        Slot& slot = m_slots[indexFor(key, hash)];
        if (!slot.value) {
            slot.hash = hash;
            slot.key = key;
            ++m_size;
        }
        return std::exchange(slot.value, std::move(value));
    }

    // Removes what is under `key` and answers it, null when none.
    std::unique_ptr<Value> take(const QString& key, std::size_t hash)
    {
        if (m_slots.empty())
            return nullptr;
        std::size_t hole = indexFor(key, hash);
        std::unique_ptr<Value> taken = std::move(m_slots[hole].value);
        if (!taken)
            return nullptr;
        m_slots[hole].key = QString();
        --m_size;
        for (std::size_t index = (hole + 1) & mask(); m_slots[index].value; index = (index + 1) & mask()) {
            // A slot stays when its home lies after the hole, up to the slot, going round.
            const std::size_t home = m_slots[index].hash & mask();
            if (((index - home) & mask()) < ((index - hole) & mask()))
                continue;
            m_slots[hole] = std::move(m_slots[index]);
            hole = index;
        }
        return taken;
    }

private:
    struct Slot {
        std::size_t hash = 0;
        QString key;
        // Null in a free slot.
        std::unique_ptr<Value> value;
    };

    std::size_t mask() const { return m_slots.size() - 1; }

    // The slot of `key`, or the free slot that ends its probe.
    std::size_t indexFor(const QString& key, std::size_t hash) const
    {
        std::size_t index = hash & mask();
        while (m_slots[index].value && !(m_slots[index].hash == hash && m_slots[index].key == key))
            index = (index + 1) & mask();
        return index;
    }

    void grow()
    {
        std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(std::max<std::size_t>(8, 2 * m_slots.size())));
        for (Slot& slot : old) {
            if (slot.value)
                m_slots[indexFor(slot.key, slot.hash)] = std::move(slot);
        }
    }

    // A power of two in size, or empty.
    std::vector<Slot> m_slots;
    std::size_t m_size = 0;
};

} // namespace Lumen
