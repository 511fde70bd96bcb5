#include "Lumen/foundation/ManualDispatchClock.h"
#include "Lumen/foundation/progressive/ImageProgressiveSerialQueue.h"
#include "Lumen/foundation/progressive/ProgressiveUpdateDone.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <vector>

namespace Lumen {
namespace {

using Tivrand::Testing::waitUntil;
using namespace std::chrono_literals;

// Counts the payloads that still exist, to see which waiting updates were dropped.
struct Payload {
    explicit Payload(std::atomic<int>& alive) : alive(alive) { ++alive; }
    Payload(const Payload&) = delete;
    Payload& operator=(const Payload&) = delete;
    ~Payload() { --alive; }
    std::atomic<int>& alive;
};

// Records which updates started and keeps their done signals for the test to fire.
class Recorder {
public:
    ImageProgressiveSerialQueue::Update update(int id, bool finishAtOnce = false)
    {
        return [this, id, finishAtOnce](ProgressiveUpdateDone done) {
            std::lock_guard lock(m_mutex);
            m_started.push_back(id);
            if (finishAtOnce)
                done();
            else
                m_done.emplace(std::move(done));
        };
    }

    std::vector<int> started() const
    {
        std::lock_guard lock(m_mutex);
        return m_started;
    }

    bool startedCount(std::size_t count) const { return started().size() == count; }

    void finishCurrent()
    {
        std::optional<ProgressiveUpdateDone> done;
        {
            std::lock_guard lock(m_mutex);
            done.swap(m_done);
        }
        ASSERT_TRUE(done.has_value());
        (*done)();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<int> m_started;
    std::optional<ProgressiveUpdateDone> m_done;
};

// Asks the queue to say when it has become idle; the returned test waits for that.
std::function<bool()> idleWatch(ImageProgressiveSerialQueue& queue)
{
    auto idle = std::make_shared<std::atomic<bool>>(false);
    queue.setNotify([idle] { *idle = true; });
    return [idle] { return waitUntil([&] { return idle->load(); }); };
}

bool waitForIdle(ImageProgressiveSerialQueue& queue)
{
    return idleWatch(queue)();
}

TEST(ProgressiveUpdateDone, FiresExactlyOnce)
{
    int calls = 0;
    {
        ProgressiveUpdateDone done([&] { ++calls; });
        const ProgressiveUpdateDone copy = done;
        done();
        copy();
    }
    EXPECT_EQ(calls, 1);

    // An update that drops its signal without firing it still finishes.
    { ProgressiveUpdateDone abandoned([&] { ++calls; }); }
    EXPECT_EQ(calls, 2);
}

TEST(ImageProgressiveSerialQueue, OnlyTheNewestWaitingUpdateIsKept)
{
    const auto queue = ImageProgressiveSerialQueue::make(ManualDispatchClock::make());
    Recorder recorder;
    std::atomic<int> alive = 0;

    queue->add(recorder.update(1), 0.0);
    ASSERT_TRUE(waitUntil([&] { return recorder.startedCount(1); }));

    for (int id = 2; id <= 20; ++id) {
        auto payload = std::make_shared<Payload>(alive);
        auto inner = recorder.update(id);
        queue->add([payload, inner](ProgressiveUpdateDone done) { inner(std::move(done)); }, 0.0);
    }
    // However many chunks arrived, one waiting update holds data.
    ASSERT_TRUE(waitUntil([&] { return alive == 1; }));

    recorder.finishCurrent();
    ASSERT_TRUE(waitUntil([&] { return recorder.startedCount(2); }));
    recorder.finishCurrent();
    ASSERT_TRUE(waitForIdle(*queue));
    EXPECT_EQ(recorder.started(), (std::vector<int>{1, 20}));
    EXPECT_EQ(alive, 0);
}

TEST(ImageProgressiveSerialQueue, SpacesUpdatesByTheInterval)
{
    const auto clock = ManualDispatchClock::make();
    const auto queue = ImageProgressiveSerialQueue::make(clock);
    Recorder recorder;

    // Never idle before: the first update starts at once.
    queue->add(recorder.update(1, true), 0.5);
    ASSERT_TRUE(waitUntil([&] { return recorder.startedCount(1); }));
    ASSERT_TRUE(waitForIdle(*queue));

    // Idle for no time yet: the next one waits out the whole interval.
    queue->add(recorder.update(2), 0.5);
    ASSERT_TRUE(waitUntil([&] { return clock->pendingCount() == 1; }));
    clock->advance(400ms);
    EXPECT_EQ(clock->pendingCount(), 1u);
    EXPECT_EQ(recorder.started().size(), 1u);
    clock->advance(100ms);
    ASSERT_TRUE(waitUntil([&] { return recorder.startedCount(2); }));

    // One waiting behind a running update starts exactly the interval after it finished.
    queue->add(recorder.update(3), 0.5);
    recorder.finishCurrent();
    ASSERT_TRUE(waitUntil([&] { return clock->pendingCount() == 1; }));
    clock->advance(490ms);
    EXPECT_EQ(recorder.started().size(), 2u);
    clock->advance(10ms);
    ASSERT_TRUE(waitUntil([&] { return recorder.startedCount(3); }));
    recorder.finishCurrent();
    ASSERT_TRUE(waitForIdle(*queue));

    // After more than the interval of idleness, an update starts at once.
    clock->advance(600ms);
    queue->add(recorder.update(4, true), 0.5);
    ASSERT_TRUE(waitUntil([&] { return recorder.startedCount(4); }));
}

TEST(ImageProgressiveSerialQueue, CleaningDropsTheWaitingUpdate)
{
    const auto clock = ManualDispatchClock::make();
    const auto queue = ImageProgressiveSerialQueue::make(clock);
    Recorder recorder;

    queue->add(recorder.update(1), 0.5);
    ASSERT_TRUE(waitUntil([&] { return recorder.startedCount(1); }));
    queue->add(recorder.update(2), 0.5);
    queue->clean();
    recorder.finishCurrent();
    ASSERT_TRUE(waitForIdle(*queue));
    clock->advance(1s);
    EXPECT_EQ(recorder.started(), (std::vector<int>{1}));

    // The queue still serves later updates.
    queue->add(recorder.update(3, true), 0.5);
    ASSERT_TRUE(waitUntil([&] { return recorder.startedCount(2); }));
}

TEST(ImageProgressiveSerialQueue, CleaningADelayedUpdateLeavesTheQueueIdle)
{
    const auto clock = ManualDispatchClock::make();
    const auto queue = ImageProgressiveSerialQueue::make(clock);
    Recorder recorder;
    queue->add(recorder.update(1, true), 0.5);
    ASSERT_TRUE(waitForIdle(*queue));

    // The next update waits out the interval; cleaning drops it before it starts.
    queue->add(recorder.update(2), 0.5);
    ASSERT_TRUE(waitUntil([&] { return clock->pendingCount() == 1; }));
    const auto becameIdle = idleWatch(*queue);
    queue->clean();
    EXPECT_TRUE(becameIdle());
    clock->advance(1s);
    EXPECT_EQ(recorder.started(), (std::vector<int>{1}));
}

TEST(ImageProgressiveSerialQueue, AbandonedUpdatesAndUnusableIntervalsDoNotStall)
{
    const auto queue = ImageProgressiveSerialQueue::make(ManualDispatchClock::make());
    Recorder recorder;
    queue->add([](ProgressiveUpdateDone) {}, 0.0);
    queue->add(recorder.update(1, true), -3.0);
    ASSERT_TRUE(waitUntil([&] { return recorder.startedCount(1); }));
    ASSERT_TRUE(waitForIdle(*queue));
    queue->add(recorder.update(2, true), std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(waitUntil([&] { return recorder.startedCount(2); }));
}

} // namespace
} // namespace Lumen
