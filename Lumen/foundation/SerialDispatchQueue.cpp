#include "Lumen/foundation/SerialDispatchQueue.h"

#include "Lumen/foundation/DispatchThreadPool.h"
#include "Lumen/foundation/HeldQueueScope.h"

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
        if (m_active)
            return;
        m_active = true;
    }
    scheduleDrain();
}

void SerialDispatchQueue::scheduleDrain()
{
    auto self = std::static_pointer_cast<SerialDispatchQueue>(shared_from_this());
    DispatchThreadPool::shared().submit([self = std::move(self)] { self->drain(); });
}

void SerialDispatchQueue::drain()
{
    HeldQueueScope held(*this);
    // Worked on as a local: the member shares cache lines with what producers write.
    std::vector<Entry> batch = std::move(m_spareBuffer);
    std::size_t blocksRun = 0;
    while (true) {
        if (blocksRun >= blocksBeforeYielding) {
            if (DispatchThreadPool::shared().hasWaitingJobs())
                break;
            blocksRun = 0;
        }
        {
            std::lock_guard lock(m_mutex);
            if (m_pending.empty())
                break;
            batch.swap(m_pending);
        }
        for (auto entry = batch.begin(); entry != batch.end(); ++entry) {
            if (entry->turn) {
                SyncTurn* turn = entry->turn;
                {
                    // Blocks queued behind the `sync` caller keep their place before later ones.
                    std::lock_guard lock(m_mutex);
                    m_pending.insert(m_pending.begin(), std::make_move_iterator(entry + 1),
                                     std::make_move_iterator(batch.end()));
                }
                batch.clear();
                m_spareBuffer = std::move(batch);
                // The caller now holds the queue and finishes the turn when its block is done.
                turn->grant();
                return;
            }
            DispatchBlock block = std::move(entry->block);
            block();
            ++blocksRun;
        }
        batch.clear();
    }
    m_spareBuffer = std::move(batch);
    finishTurn();
}

void SerialDispatchQueue::finishTurn()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_pending.empty()) {
            m_active = false;
            return;
        }
    }
    scheduleDrain();
}

std::expected<void, DispatchError> SerialDispatchQueue::runSync(SyncBody body, void* context)
{
    if (isCurrent()) {
        body(context);
        return {};
    }
    {
        std::unique_lock lock(m_mutex);
        if (m_active) {
            SyncTurn turn;
            m_pending.push_back(Entry{nullptr, &turn});
            lock.unlock();
            turn.wait();
        } else {
            m_active = true;
        }
    }
    struct TurnRelease {
        SerialDispatchQueue& queue;
        ~TurnRelease() { queue.finishTurn(); }
    } release{*this};
    HeldQueueScope held(*this);
    body(context);
    return {};
}

} // namespace Lumen
