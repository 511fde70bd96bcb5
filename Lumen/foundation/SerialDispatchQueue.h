#pragma once

#include "Lumen/foundation/DispatchQueue.h"

#include <mutex>
#include <vector>

namespace Lumen {

// A strand over the shared pool: at most one pool thread drains it at a time, in FIFO order.
// `sync` callers take their turn in the same FIFO and run their block on their own thread,
// so waiting never ties up a pool thread.
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

    void scheduleDrain();
    void drain();
    // Ends the current holder's turn: hands the queue to the pool when work is pending,
    // otherwise marks it idle.
    void finishTurn();

    std::mutex m_mutex;
    // Two buffers that trade places, so a busy queue stops allocating once they have grown.
    std::vector<Entry> m_pending;
    std::vector<Entry> m_spareBuffer; // touched only by the running drain
    bool m_active = false; // a drain is scheduled or running, or a `sync` caller holds the queue
};

} // namespace Lumen
