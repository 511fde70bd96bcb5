#pragma once

#include "Lumen/foundation/DispatchBlock.h"
#include "Lumen/foundation/DispatchQueue.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace Lumen {

// A serial queue on which a turn can be taken before its work is known. Blocks run one at a
// time, in the order their turns were taken; a turn not yet filled holds back the blocks
// behind it without holding a thread, so slow preparation (encoding a file, say) can run on
// the pool while the write it leads to keeps its place among the other file operations.
//
// Reads keep their place in that order too, but neighbouring reads run side by side on the
// pool: a read starts once every block ahead of it has finished, and a block behind it waits
// for it. What a read answers runs next on its thread, after the queue has moved on.
class ReservableSerialQueue : public std::enable_shared_from_this<ReservableSerialQueue> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // The read itself, answering what is left to do once the queue may move on (may be empty).
    using ReadingBlock = std::move_only_function<DispatchBlock()>;

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
    void asyncReading(ReadingBlock read);
    Turn reserve();

private:
    enum class Kind { block, read };
    // A block or a read whose turn has come; an empty one of both is a turn given up.
    struct Operation {
        DispatchBlock block;
        ReadingBlock read;
    };

    void enqueue(Operation operation);
    void fill(std::uint64_t number, Operation operation);
    // Starts what may start of the operations whose turn has come; takes the held lock.
    void startAdmitted(std::unique_lock<std::mutex> lock);
    void finished(Kind kind);

    const std::shared_ptr<DispatchQueue> m_queue;
    std::mutex m_mutex;
    std::uint64_t m_nextTurn = 0;
    std::uint64_t m_nextToRun = 0;
    // Filled turns waiting for an earlier one.
    std::map<std::uint64_t, Operation> m_filled;
    // Operations in turn order waiting for running ones of the other kind to finish.
    std::deque<Operation> m_admitted;
    std::size_t m_runningBlocks = 0;
    std::size_t m_runningReads = 0;
};

} // namespace Lumen
