#include "Lumen/foundation/ManualDispatchClock.h"
#include "Lumen/foundation/progressive/ImageProgressiveSerialQueue.h"
#include "Lumen/foundation/progressive/ProgressiveUpdateDone.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace Lumen {
namespace {

using Tivrand::Testing::waitUntil;
using namespace std::chrono_literals;

// A queue on a manual clock, recording which updates started and keeping their done signals
// for the test to fire.
class ProgressiveSerialQueueTest : public ::testing::Test {
protected:
    ImageProgressiveSerialQueue::Update update(int id, bool finishAtOnce = false)
    {
        return [this, id, finishAtOnce](ProgressiveUpdateDone done) {
            std::lock_guard lock(mutex);
            started.push_back(id);
            // A dropped done signal fires.
            if (!finishAtOnce)
                pending.emplace(std::move(done));
        };
    }
    std::vector<int> starts()
    {
        std::lock_guard lock(mutex);
        return started;
    }
    bool waitForStarts(std::size_t count)
    {
        return waitUntil([&] { return starts().size() == count; });
    }
    void finishCurrent()
    {
        std::unique_lock lock(mutex);
        const std::optional<ProgressiveUpdateDone> done = std::exchange(pending, std::nullopt);
        lock.unlock();
        // Outside the lock: the queue may start the next update from within.
        done.value()();
    }
    // Asks the queue to say when it has become idle; the returned test waits for that.
    std::function<bool()> idleWatch()
    {
        auto idle = std::make_shared<std::atomic<bool>>(false);
        queue->setNotify([idle] { *idle = true; });
        return [idle] { return waitUntil([&] { return idle->load(); }); };
    }
    bool waitForIdle() { return idleWatch()(); }

    const std::shared_ptr<ManualDispatchClock> clock = ManualDispatchClock::make();
    const std::shared_ptr<ImageProgressiveSerialQueue> queue = ImageProgressiveSerialQueue::make(clock);
    std::mutex mutex;
    std::vector<int> started;
    std::optional<ProgressiveUpdateDone> pending;
};

// Dropping fires it too: the fixture's updates that finish at once rely on that.
TEST(ProgressiveUpdateDone, FiresExactlyOnceAcrossCopies)
{
    int calls = 0;
    {
        ProgressiveUpdateDone done([&] { ++calls; });
        const ProgressiveUpdateDone copy = done;
        done();
        copy();
    }
    EXPECT_EQ(calls, 1);
}

TEST_F(ProgressiveSerialQueueTest, OnlyTheNewestWaitingUpdateIsKept)
{
    // Every waiting update holds a copy; the dropped ones let theirs go.
    const auto payload = std::make_shared<int>(0);
    queue->add(update(1), 0.0);
    ASSERT_TRUE(waitForStarts(1));
    for (int id = 2; id <= 20; ++id)
        queue->add([payload, inner = update(id)](ProgressiveUpdateDone done) { inner(std::move(done)); }, 0.0);
    // However many chunks arrived, one waiting update holds data.
    ASSERT_TRUE(waitUntil([&] { return payload.use_count() == 2; }));
    finishCurrent();
    ASSERT_TRUE(waitForStarts(2));
    EXPECT_EQ(starts(), (std::vector<int>{1, 20}));
}

TEST_F(ProgressiveSerialQueueTest, SpacesUpdatesByTheInterval)
{
    // Never idle before: the first update starts at once.
    queue->add(update(1), 0.5);
    ASSERT_TRUE(waitForStarts(1));
    // One waiting behind a running update starts exactly the interval after it finished.
    queue->add(update(2), 0.5);
    finishCurrent();
    ASSERT_TRUE(waitUntil([&] { return clock->pendingCount() == 1; }));
    clock->advance(490ms);
    EXPECT_EQ(starts().size(), 1u);
    clock->advance(10ms);
    EXPECT_TRUE(waitForStarts(2));
}

TEST_F(ProgressiveSerialQueueTest, CleaningDropsTheWaitingOrDelayedUpdateAndLeavesTheQueueUsable)
{
    queue->add(update(1), 0.5);
    ASSERT_TRUE(waitForStarts(1));
    queue->add(update(2), 0.5);
    queue->clean();
    finishCurrent();
    ASSERT_TRUE(waitForIdle());
    // The next update waits out the interval; cleaning drops it before it starts.
    queue->add(update(3), 0.5);
    ASSERT_TRUE(waitUntil([&] { return clock->pendingCount() == 1; }));
    const auto becameIdle = idleWatch();
    queue->clean();
    EXPECT_TRUE(becameIdle());
    clock->advance(1s);
    queue->add(update(4, true), 0.5);
    ASSERT_TRUE(waitForStarts(2));
    EXPECT_EQ(starts(), (std::vector<int>{1, 4}));
}

TEST_F(ProgressiveSerialQueueTest, AbandonedUpdatesAndUnusableIntervalsDoNotStall)
{
    queue->add([](ProgressiveUpdateDone) {}, 0.0);
    queue->add(update(1, true), -3.0);
    ASSERT_TRUE(waitForStarts(1));
    ASSERT_TRUE(waitForIdle());
    queue->add(update(2, true), std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(waitForStarts(2));
}

} // namespace
} // namespace Lumen
