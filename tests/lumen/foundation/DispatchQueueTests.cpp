#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/DispatchThreadPool.h"
#include "Lumen/foundation/DispatchWorkItem.h"
#include "Lumen/foundation/ManualDispatchClock.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <numeric>
#include <thread>
#include <vector>

namespace Lumen {
namespace {

using namespace std::chrono_literals;
using Testing::Gate;
using Testing::onGuiThread;
using Tivrand::Testing::waitUntil;

std::shared_ptr<DispatchQueue> serial(std::shared_ptr<DispatchClock> clock = DispatchClock::system())
{
    return DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"), std::move(clock));
}

int poolSize() { return static_cast<int>(DispatchThreadPool::shared().threadCount()); }

TEST(DispatchQueueSerial, MixedSyncAndAsyncProducersRunOneAtATimeInOrderPerProducer)
{
    constexpr int producerCount = 8, blocksPerProducer = 1500;
    auto queue = serial();
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    // Guarded only by the queue's exclusivity, so a thread sanitizer run also proves ordering.
    std::vector<std::vector<int>> seen(producerCount);
    std::vector<std::thread> producers;
    for (int producer = 0; producer < producerCount; ++producer) {
        producers.emplace_back([&, producer] {
            for (int sequence = 0; sequence < blocksPerProducer; ++sequence) {
                auto record = [&, producer, sequence] {
                    if (running.fetch_add(1) != 0 || !queue->isCurrent())
                        overlapped = true;
                    seen[producer].push_back(sequence);
                    running.fetch_sub(1);
                };
                if (sequence % 3 == 0)
                    (void)queue->sync(record);
                else
                    queue->async(record);
            }
        });
    }
    for (auto& producer : producers)
        producer.join();
    ASSERT_TRUE(queue->sync([] {}).has_value());
    EXPECT_FALSE(overlapped);
    std::vector<int> expected(blocksPerProducer);
    std::iota(expected.begin(), expected.end(), 0);
    for (int producer = 0; producer < producerCount; ++producer)
        EXPECT_EQ(seen[producer], expected) << "producer " << producer;
}

TEST(DispatchQueueSerial, SyncWaitsForEarlierBlocksAndNestedSyncDoesNotDeadlock)
{
    auto queue = serial();
    Gate gate;
    std::vector<int> values;
    queue->async([&] { gate.wait(); });
    for (int i = 0; i < 100; ++i)
        queue->async([&values, i] { values.push_back(i); });
    std::thread opener([&] { gate.open(); });
    EXPECT_EQ(queue->sync([&] { return values.size(); }).value_or(0), 100u);
    opener.join();

    // first -> second -> first: both are held by this thread, so neither call waits.
    auto second = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.second"));
    const auto nested = queue->sync([&] {
        return second->sync([&] {
            const bool onBoth = queue->isCurrent() && second->isCurrent();
            return queue->sync([onBoth] { return onBoth ? 42 : -1; });
        });
    });
    ASSERT_TRUE(nested.has_value() && nested->has_value() && (*nested)->has_value());
    EXPECT_EQ(***nested, 42);
    EXPECT_FALSE(queue->isCurrent());
}

// More pool jobs calling `sync` than the pool has threads, while a block waits ahead of them.
// Whether they all finish, in order and one at a time.
bool poolThreadSyncCallersFinish()
{
    const int callerCount = 3 * poolSize();
    auto queue = serial();
    std::atomic<int> running{0}, finished{0};
    std::atomic<bool> overlapped{false};
    std::vector<int> order; // guarded by the queue's exclusivity
    (void)queue->sync([&] {
        queue->async([&] { order.push_back(-1); });
        for (int caller = 0; caller < callerCount; ++caller) {
            DispatchQueue::global()->async([&, caller] {
                (void)queue->sync([&, caller] {
                    if (running.fetch_add(1) != 0)
                        overlapped = true;
                    order.push_back(caller);
                    running.fetch_sub(1);
                });
                ++finished;
            });
        }
    });
    if (!waitUntil([&] { return finished.load() == callerCount; }, 30s))
        return false;
    return !overlapped && order.size() == std::size_t(callerCount + 1) && order.front() == -1;
}

// A lock-up of the shared pool cannot be undone, so the run happens in a child process that
// reports it instead of hanging.
TEST(DispatchQueueSerialDeathTest, SyncCallersOnPoolThreadsNeverWaitForAFreePoolThread)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(poolThreadSyncCallersFinish() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST(DispatchQueueSerial, ASyncCallerRunsTheBlocksAheadOfItAsBlocksOfThatQueueAlone)
{
    auto queue = serial();
    auto outer = serial();
    // Every pool thread waits, so the queue's drain cannot start.
    Gate release;
    std::atomic<int> blockersReleased{0};
    for (int i = 0; i < poolSize(); ++i)
        DispatchQueue::global()->async([&] { blockersReleased += release.wait() ? 1 : 0; });
    bool onCaller = false, onQueue = false, onOuter = true;
    const auto caller = std::this_thread::get_id();
    queue->async([&] {
        onCaller = std::this_thread::get_id() == caller;
        onQueue = queue->isCurrent();
        onOuter = outer->isCurrent();
    });
    const auto answer = outer->sync([&] { return queue->sync([&] { return outer->isCurrent(); }); });
    release.open();
    EXPECT_TRUE(answer.has_value() && answer->value_or(false));
    EXPECT_TRUE(onCaller && onQueue);
    EXPECT_FALSE(onOuter);
    ASSERT_TRUE(waitUntil([&] { return blockersReleased.load() == poolSize(); }));
}

TEST(DispatchQueueSerial, PendingWorkKeepsTheQueueAlive)
{
    auto queue = serial();
    std::weak_ptr<DispatchQueue> weak = queue;
    Gate gate;
    std::atomic<bool> ran{false};
    queue->async([&] { gate.wait(); });
    queue->async([&] { ran = true; });
    queue.reset();
    EXPECT_FALSE(weak.expired());
    gate.open();
    ASSERT_TRUE(waitUntil([&] { return ran.load() && weak.expired(); }));
}

TEST(DispatchQueueGlobal, BlocksRunSideBySideAndSyncRunsOnTheCaller)
{
    auto queue = DispatchQueue::global();
    Gate started[2];
    std::atomic<int> finished{0};
    // Each block waits for the other to start: only possible when they run at the same time.
    for (int i = 0; i < 2; ++i)
        queue->async([&, i] {
            started[i].open();
            finished += started[1 - i].wait() ? 1 : 0;
        });
    ASSERT_TRUE(waitUntil([&] { return finished.load() == 2; }, 15s));
    const auto caller = std::this_thread::get_id();
    EXPECT_TRUE(queue->sync([&] { return queue->isCurrent() && std::this_thread::get_id() == caller; }).value_or(false));
    EXPECT_FALSE(queue->isCurrent());
}

TEST(DispatchQueueMain, SyncFromAnotherThreadRunsOnTheGuiThread)
{
    auto queue = DispatchQueue::main();
    // Shared with the caller thread, which is left behind if the GUI thread never answers.
    struct Outcome {
        std::atomic<bool> done{false};
        std::expected<bool, DispatchError> answer = false;
    };
    auto outcome = std::make_shared<Outcome>();
    std::thread caller([queue, outcome] {
        outcome->answer = queue->sync([] { return onGuiThread(); });
        outcome->done = true;
    });
    // Joining a caller that still waits would stop the very loop it waits for.
    if (!waitUntil([&] { return outcome->done.load(); }, 60s)) {
        caller.detach();
        FAIL() << "the GUI thread never ran the block";
    }
    caller.join();
    EXPECT_TRUE(outcome->answer.value_or(false));
    EXPECT_EQ(queue->sync([] { return 5; }).value_or(0), 5);
}

TEST(DispatchQueueMain, BlocksFromOtherThreadsRunAndReleaseTheirCapturesOnTheGuiThreadInOrder)
{
    struct ReleaseProbe {
        std::atomic<int>* offGuiReleases;
        std::atomic<int>* releases;
        ~ReleaseProbe()
        {
            *offGuiReleases += onGuiThread() ? 0 : 1;
            ++*releases;
        }
    };
    constexpr int blockCount = 200;
    std::atomic<int> offGuiReleases{0}, releases{0};
    std::atomic<bool> allOnGui{true};
    std::vector<int> order, expected(blockCount); // order: touched only on the GUI thread
    std::iota(expected.begin(), expected.end(), 0);
    auto queue = DispatchQueue::main();
    EXPECT_TRUE(queue->isCurrent());
    std::thread producer([&] {
        EXPECT_FALSE(queue->isCurrent());
        for (int i = 0; i < blockCount; ++i) {
            queue->async([&, i, probe = std::make_unique<ReleaseProbe>(&offGuiReleases, &releases)] {
                allOnGui = allOnGui && onGuiThread();
                order.push_back(i);
            });
            if (i % 10 == 0)
                std::this_thread::yield(); // let the GUI thread overtake the poster now and then
        }
    });
    producer.join();
    ASSERT_TRUE(waitUntil([&] { return releases.load() == blockCount; }, 60s));
    EXPECT_EQ(offGuiReleases.load(), 0);
    EXPECT_TRUE(allOnGui);
    EXPECT_EQ(order, expected);
}

TEST(DispatchQueueTimed, DelayedBlocksWaitForTheClockInDeadlineOrder)
{
    auto clock = ManualDispatchClock::make();
    auto queue = serial(clock);
    std::vector<int> order; // read through `sync` only
    const auto count = [&] { return queue->sync([&] { return order.size(); }).value_or(0); };
    for (const auto& [delay, tag] : {std::pair{2000ms, 4}, {1000ms, 2}, {1000ms, 3}, {-5000ms, 1}})
        queue->asyncAfter(delay, [&order, tag] { order.push_back(tag); });
    EXPECT_EQ(clock->pendingCount(), 4u);
    clock->advance(999ms);
    EXPECT_EQ(count(), 1u);
    clock->advance(1ms);
    EXPECT_EQ(count(), 3u);
    clock->advance(10s);
    EXPECT_EQ(count(), 4u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(clock->pendingCount(), 0u);
}

TEST(DispatchQueueTimed, MainAndSystemClocksRunDelayedWorkNoEarlierThanAsked)
{
    auto clock = ManualDispatchClock::make();
    bool ran = false;
    DispatchQueue::makeMain(clock)->asyncAfter(3s, [&] { ran = onGuiThread(); });
    clock->advance(2s);
    Tivrand::Testing::pumpEvents(20ms);
    EXPECT_FALSE(ran);
    clock->advance(1s);
    EXPECT_TRUE(waitUntil([&] { return ran; }));

    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> systemRan{false};
    serial()->asyncAfter(30ms, [&] { systemRan = std::chrono::steady_clock::now() - start >= 30ms; });
    EXPECT_TRUE(waitUntil([&] { return systemRan.load(); }));
}

TEST(DispatchQueueWorkItem, ItemsRunUntilCancelledAndThenReleaseTheirCaptures)
{
    auto clock = ManualDispatchClock::make();
    auto queue = serial(clock);
    auto captured = std::make_shared<int>(1);
    std::weak_ptr<int> weakCapture = captured;
    int runs = 0;
    auto item = DispatchWorkItem::make([&runs, captured = std::move(captured)] { ++runs; });
    queue->async(item);
    queue->async(item);
    EXPECT_EQ(queue->sync([&] { return runs; }).value_or(-1), 2);

    queue->asyncAfter(1s, item);
    Gate gate;
    queue->async([&] { gate.wait(); });
    queue->async(item);
    item->cancel();
    gate.open();
    EXPECT_TRUE(item->isCancelled());
    EXPECT_TRUE(weakCapture.expired());
    clock->advance(1s);
    EXPECT_EQ(queue->sync([&] { return runs; }).value_or(-1), 2);
}

TEST(DispatchQueueWorkItem, ARunUnderWayFinishesWhenCancelled)
{
    auto queue = serial();
    Gate started, proceed;
    std::atomic<bool> finished{false};
    auto item = DispatchWorkItem::make([&] {
        started.open();
        proceed.wait();
        finished = true;
    });
    queue->async(item);
    ASSERT_TRUE(started.wait());
    item->cancel();
    proceed.open();
    ASSERT_TRUE(queue->sync([] {}).has_value());
    EXPECT_TRUE(finished);
}

} // namespace
} // namespace Lumen
