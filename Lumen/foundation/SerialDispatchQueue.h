#pragma once

#include "Lumen/foundation/DispatchQueue.h"

#include <cstddef>
#include <mutex>
#include <vector>

namespace Lumen {

// A strand over the shared pool: blocks run one at a time, in FIFO order. `sync` callers take
// their turn in the same FIFO and run their block on their own thread.
//
// No `sync` waits for a free pool thread, so pool threads may wait in `sync` even when they
// fill the pool: whoever holds the queue hands it straight to the first waiting caller, and
// a caller that finds the queue's drain still waiting for a pool thread takes its place. A
// caller handed the queue runs the blocks ahead of its turn itself.
class SerialDispatchQueue final : public DispatchQueue {
public:
    SerialDispatchQueue(QString label, std::shared_ptr<DispatchClock> clock);

    bool isCurrent() const override;
    void async(DispatchBlock block) override;

protected:
    std::expected<void, DispatchError> runSync(SyncBody body, void* context) override;

private:
    struct SyncTurn;
    struct Entry {
        DispatchBlock block;
        SyncTurn* turn = nullptr; // set for a waiting `sync` caller instead of a block
    };
    enum class State {
        idle,        // nothing pending, nobody holds the queue
        drainQueued, // blocks pending, a drain waits for a pool thread, nobody runs them yet
        held,        // a drain or a `sync` caller runs the queue
    };

    void submitDrain();
    void drain();
    // Run by the holder: pending blocks in order until a `sync` turn comes up (it stays at the
    // front) or nothing is left. A drain also stops after its share when other jobs wait.
    void runBlocksUntilTurn(bool yieldsToPool);
    // Gives the queue to the first waiting `sync` caller, or to a new drain when blocks are
    // pending, or marks it idle.
    void passTurn();

    std::mutex m_mutex;
    std::vector<Entry> m_pending;
    // Trades places with `m_pending`, so a busy queue stops allocating once both have grown.
    std::vector<Entry> m_spareBuffer; // touched only by the holder
    std::size_t m_waitingTurns = 0;   // `sync` turns in `m_pending`
    State m_state = State::idle;
};

} // namespace Lumen
