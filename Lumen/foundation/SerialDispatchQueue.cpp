#include "Lumen/foundation/SerialDispatchQueue.h"

#include "Lumen/foundation/DispatchThreadPool.h"
#include "Lumen/foundation/HeldQueueScope.h"

#include <algorithm>
#include <condition_variable>
#include <iterator>

namespace Lumen {

namespace {
// After this many blocks a drain yields its pool thread when other jobs wait for one, so
// busy strands share the pool fairly without hopping threads when nobody is waiting.
constexpr std::size_t blocksBeforeYielding = 256;
}

struct SerialDispatchQueue::SyncTurn {
    std::mutex mutex;
    std::condition_variable granted;
    bool isGranted = false;

    void grant()
    {
        // Notify under the lock: the waiter owns this object and destroys it once it wakes.
        std::lock_guard lock(mutex);
        isGranted = true;
        granted.notify_one();
    }

    void wait()
    {
        std::unique_lock lock(mutex);
        granted.wait(lock, [this] { return isGranted; });
    }
};

SerialDispatchQueue::SerialDispatchQueue(QString label, std::shared_ptr<DispatchClock> clock)
    : DispatchQueue(std::move(label), std::move(clock))
{
}

bool SerialDispatchQueue::isCurrent() const
{
    return HeldQueueScope::isHeldByCurrentThread(*this);
}

void SerialDispatchQueue::async(DispatchBlock block)
{
    if (!block)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back(Entry{std::move(block)});
        if (m_state != State::idle)
            return;
        m_state = State::drainQueued;
    }
    submitDrain();
}

void SerialDispatchQueue::submitDrain()
{
    auto self = std::static_pointer_cast<SerialDispatchQueue>(shared_from_this());
    DispatchThreadPool::shared().submit([self = std::move(self)] { self->drain(); });
}

void SerialDispatchQueue::drain()
{
    {
        std::lock_guard lock(m_mutex);
        // A `sync` caller may have taken over the work this drain was submitted for.
        if (m_state != State::drainQueued)
            return;
        m_state = State::held;
    }
    {
        HeldQueueScope held(*this);
        runBlocksUntilTurn(true);
    }
    passTurn();
}

void SerialDispatchQueue::runBlocksUntilTurn(bool yieldsToPool)
{
    // Worked on as a local: the member shares cache lines with what producers write.
    std::vector<Entry> batch = std::move(m_spareBuffer);
    std::size_t blocksRun = 0;
    bool reachedTurn = false;
    while (!reachedTurn) {
        if (yieldsToPool && blocksRun >= blocksBeforeYielding) {
            if (DispatchThreadPool::shared().hasWaitingJobs())
                break;
            blocksRun = 0;
        }
        {
            std::lock_guard lock(m_mutex);
            if (m_pending.empty() || m_pending.front().turn)
                break;
            batch.swap(m_pending);
        }
        auto entry = batch.begin();
        for (; entry != batch.end() && !entry->turn; ++entry) {
            DispatchBlock block = std::move(entry->block);
            block();
            ++blocksRun;
        }
        if (entry != batch.end()) {
            // The turn and what followed it go back ahead of anything submitted meanwhile.
            std::lock_guard lock(m_mutex);
            m_pending.insert(m_pending.begin(), std::make_move_iterator(entry), std::make_move_iterator(batch.end()));
            reachedTurn = true;
        }
        batch.clear();
    }
    m_spareBuffer = std::move(batch);
}

void SerialDispatchQueue::passTurn()
{
    SyncTurn* next = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_waitingTurns > 0) {
            next = std::find_if(m_pending.begin(), m_pending.end(), [](const Entry& entry) { return entry.turn; })->turn;
        } else if (m_pending.empty()) {
            m_state = State::idle;
            return;
        } else {
            m_state = State::drainQueued;
        }
    }
    // The queue stays held: the caller takes over and runs whatever is ahead of its turn.
    if (next)
        next->grant();
    else
        submitDrain();
}

std::expected<void, DispatchError> SerialDispatchQueue::runSync(SyncBody body, void* context)
{
    if (isCurrent()) {
        body(context);
        return {};
    }
    SyncTurn turn;
    bool queuedBehindOthers = false;
    {
        std::unique_lock lock(m_mutex);
        if (m_state == State::idle) {
            m_state = State::held;
        } else {
            m_pending.push_back(Entry{nullptr, &turn});
            ++m_waitingTurns;
            queuedBehindOthers = true;
            if (m_state == State::drainQueued) {
                // Nobody runs the queue yet: take over rather than wait for a pool thread.
                m_state = State::held;
            } else {
                lock.unlock();
                turn.wait();
            }
        }
    }
    struct TurnRelease {
        SerialDispatchQueue& queue;
        ~TurnRelease() { queue.passTurn(); }
    } release{*this};
    if (queuedBehindOthers) {
        {
            HeldQueueScope held(*this, HeldQueueScope::Nesting::hidesOuter);
            runBlocksUntilTurn(false);
        }
        // The first turn now at the front is this caller's: turns are handed out in order.
        std::lock_guard lock(m_mutex);
        m_pending.erase(m_pending.begin());
        --m_waitingTurns;
    }
    HeldQueueScope held(*this);
    body(context);
    return {};
}

} // namespace Lumen
