#pragma once

#include "Lumen/foundation/DispatchBlock.h"
#include "Lumen/foundation/DispatchQueue.h"

#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace Lumen {

// A serial queue on which a turn can be taken before its work is known. Blocks run one at a
// time, in the order their turns were taken; a turn not yet filled holds back the blocks
// behind it without holding a thread, so slow preparation (encoding a file, say) can run on
// the pool while the write it leads to keeps its place among the other file operations.
class ReservableSerialQueue : public std::enable_shared_from_this<ReservableSerialQueue> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // A place in line, filled once. One dropped unfilled gives up its place.
    class Turn {
    public:
        Turn(Turn&& other) noexcept = default;
        Turn& operator=(Turn&&) = delete;
        ~Turn();

        void fill(DispatchBlock block) &&;

    private:
        friend class ReservableSerialQueue;
        Turn(std::shared_ptr<ReservableSerialQueue> queue, std::uint64_t number)
            : m_queue(std::move(queue)), m_number(number) {}

        std::shared_ptr<ReservableSerialQueue> m_queue;
        std::uint64_t m_number;
    };

    static std::shared_ptr<ReservableSerialQueue> make(QString label);
    ReservableSerialQueue(Passkey, QString label);

    const QString& label() const { return m_queue->label(); }

    void async(DispatchBlock block);
    Turn reserve();

private:
    void fill(std::uint64_t number, DispatchBlock block);

    const std::shared_ptr<DispatchQueue> m_queue;
    std::mutex m_mutex;
    std::uint64_t m_nextTurn = 0;
    std::uint64_t m_nextToRun = 0;
    // Filled turns waiting for an earlier one; an empty block is a turn given up.
    std::map<std::uint64_t, DispatchBlock> m_filled;
};

} // namespace Lumen
