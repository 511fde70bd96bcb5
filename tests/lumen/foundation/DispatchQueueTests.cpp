#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/DispatchThreadPool.h"
#include "Lumen/foundation/DispatchWorkItem.h"
#include "Lumen/foundation/ManualDispatchClock.h"
#include "Lumen/foundation/ReservableSerialQueue.h"
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

std::vector<int> zeroTo(int count)
{
    std::vector<int> numbers(count);
    std::iota(numbers.begin(), numbers.end(), 0);
    return numbers;
}

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
                    overlapped = overlapped || running.fetch_add(1) != 0 || !queue->isCurrent();
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
    EXPECT_EQ(seen, std::vector<std::vector<int>>(producerCount, zeroTo(blocksPerProducer)));
}

// first -> second -> first: both are held by this thread, so neither call waits.
TEST(DispatchQueueSerial, NestedSyncOnQueuesTheThreadHoldsDoesNotDeadlock)
{
    auto queue = serial();
    auto second = serial();
    const auto nested = queue->sync([&] {
        return second->sync([&] { return queue->sync([&] { return queue->isCurrent() && second->isCurrent(); }); });
    });
    EXPECT_TRUE(nested.value_or(false).value_or(false).value_or(false));
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
                    overlapped = overlapped || running.fetch_add(1) != 0;
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
    bool onCallerAsQueueAlone = false;
    const auto caller = std::this_thread::get_id();
    queue->async([&] {
        onCallerAsQueueAlone = std::this_thread::get_id() == caller && queue->isCurrent() && !outer->isCurrent();
    });
    const auto answer = outer->sync([&] { return queue->sync([&] { return outer->isCurrent(); }); });
    release.open();
    EXPECT_TRUE(answer.value_or(false).value_or(false));
    EXPECT_TRUE(onCallerAsQueueAlone);
    ASSERT_TRUE(waitUntil([&] { return blockersReleased.load() == poolSize(); }));
}

TEST(DispatchQueueGlobal, BlocksRunSideBySideAndSyncRunsOnTheCaller)
{
    auto queue = DispatchQueue::global();
    Gate started[2];
    std::atomic<int> finished{0};
    // Each block waits for the other to start: only possible when they run at the same time.
    for (int i = 0; i < 2; ++i)
        queue->async([&, i] { finished += (started[i].open(), started[1 - i].wait()) ? 1 : 0; });
    ASSERT_TRUE(waitUntil([&] { return finished.load() == 2; }, 15s));
    const auto caller = std::this_thread::get_id();
    EXPECT_TRUE(queue->sync([&] { return queue->isCurrent() && std::this_thread::get_id() == caller; }).value_or(false));
}

TEST(DispatchQueueReservable, ReadsRunSideBySideInTheirPlaceAmongBlocksAndLetTheQueueMoveOnBeforeTheirRest)
{
    const auto queue = ReservableSerialQueue::make(QStringLiteral("com.vantrel.Lumen.test"));
    Gate firstBlockMayEnd, readStarted[2], secondBlockRan;
    std::atomic<bool> firstBlockEnded{false};
    std::atomic<int> readsInOrder{0}, readsDone{0}, restsAfterTheQueueMovedOn{0};
    queue->async([&] { firstBlockEnded = firstBlockMayEnd.wait(); });
    for (int i = 0; i < 2; ++i)
        queue->asyncReading([&, i]() -> DispatchBlock {
            // Each read waits for the other to start: only possible when they run at the same time.
            readStarted[i].open();
            if (firstBlockEnded && readStarted[1 - i].wait())
                ++readsInOrder;
            ++readsDone;
            return [&] { restsAfterTheQueueMovedOn += secondBlockRan.wait() ? 1 : 0; };
        });
    std::atomic<int> readsDoneBeforeSecondBlock{-1};
    queue->async([&] {
        readsDoneBeforeSecondBlock = readsDone.load();
        secondBlockRan.open();
    });
    firstBlockMayEnd.open();
    ASSERT_TRUE(waitUntil([&] { return restsAfterTheQueueMovedOn.load() == 2; }, 15s));
    EXPECT_EQ(readsInOrder.load(), 2);
    EXPECT_EQ(readsDoneBeforeSecondBlock.load(), 2);
}

// Blocks and their captures end on the GUI thread, in order; a `sync` from another thread too.
TEST(DispatchQueueMain, BlocksFromOtherThreadsRunAndReleaseTheirCapturesOnTheGuiThreadInOrder)
{
    struct ReleaseProbe {
        std::shared_ptr<std::atomic<int>> offGuiReleases;
        ~ReleaseProbe() { *offGuiReleases += onGuiThread() ? 0 : 1; }
    };
    // Shared with the producer thread, which is left behind if the GUI thread never answers.
    struct Outcome {
        std::atomic<bool> done{false};
        std::expected<std::vector<int>, DispatchError> order;
    };
    constexpr int blockCount = 200;
    auto offGuiReleases = std::make_shared<std::atomic<int>>(0);
    auto outcome = std::make_shared<Outcome>();
    auto order = std::make_shared<std::vector<int>>(); // touched only on the GUI thread
    auto queue = DispatchQueue::main();
    std::thread producer([=] {
        for (int i = 0; i < blockCount; ++i) {
            queue->async([order, i, probe = std::make_unique<ReleaseProbe>(offGuiReleases)] {
                order->push_back(onGuiThread() ? i : -1);
            });
        }
        outcome->order = queue->sync([order] { return onGuiThread() ? *order : std::vector<int>{}; });
        outcome->done = true;
    });
    // Joining a producer that still waits would stop the very loop it waits for.
    if (!waitUntil([&] { return outcome->done.load(); }, 60s)) {
        producer.detach();
        FAIL() << "the GUI thread never ran the block";
    }
    producer.join();
    EXPECT_EQ(outcome->order.value_or(std::vector<int>{}), zeroTo(blockCount));
    EXPECT_EQ(offGuiReleases->load(), 0);
    // On the GUI thread itself `sync` runs inline instead of waiting for its own loop.
    EXPECT_TRUE(queue->isCurrent());
    EXPECT_EQ(queue->sync([] { return 5; }).value_or(0), 5);
}

TEST(DispatchQueueTimed, DelayedBlocksWaitForTheClockInDeadlineOrder)
{
    auto clock = ManualDispatchClock::make();
    auto queue = serial(clock);
    std::vector<int> order; // read through `sync` only
    const auto seen = [&] { return queue->sync([&] { return order; }).value_or(std::vector<int>{}); };
    for (const auto& [delay, tag] : {std::pair{2000ms, 3}, {1000ms, 1}, {1000ms, 2}, {-5000ms, 0}})
        queue->asyncAfter(delay, [&order, tag] { order.push_back(tag); });
    clock->advance(999ms);
    EXPECT_EQ(seen(), zeroTo(1));
    clock->advance(1ms);
    EXPECT_EQ(seen(), zeroTo(3));

    // The main queue too runs delayed work on the GUI thread no earlier than asked.
    bool ran = false;
    DispatchQueue::makeMain(clock)->asyncAfter(3s, [&] { ran = onGuiThread(); });
    clock->advance(2s);
    Tivrand::Testing::pumpEvents(20ms);
    EXPECT_FALSE(ran);
    clock->advance(1s);
    EXPECT_TRUE(waitUntil([&] { return ran; }));
    EXPECT_EQ(seen(), zeroTo(4));
}

// Cancelling stops later runs (queued or delayed) and releases the captures at once; a run
// under way finishes.
TEST(DispatchQueueWorkItem, ItemsRunUntilCancelledAndThenReleaseTheirCaptures)
{
    auto clock = ManualDispatchClock::make();
    auto queue = serial(clock);
    auto captured = std::make_shared<int>(1);
    std::weak_ptr<int> weakCapture = captured;
    Gate started, proceed;
    std::atomic<int> runs = 0;
    auto item = DispatchWorkItem::make([&runs, &started, &proceed, captured = std::move(captured)] {
        if (++runs == 2) {
            started.open();
            proceed.wait();
        }
    });
    queue->async(item);
    queue->async(item);
    ASSERT_TRUE(started.wait());
    queue->asyncAfter(1s, item);
    queue->async(item);
    item->cancel();
    proceed.open();
    clock->advance(1s);
    EXPECT_EQ(queue->sync([&] { return runs.load(); }).value_or(-1), 2);
    EXPECT_TRUE(weakCapture.expired());
}

TEST(CallbackQueueDispatch, KeepsItsQueueAliveAndRunsOnIt)
{
    auto queue = serial();
    std::weak_ptr<DispatchQueue> weak = queue;
    const CallbackQueue value = CallbackQueue::dispatch(*queue);
    queue.reset();
    EXPECT_FALSE(weak.expired());
    std::atomic<bool> onQueue{false};
    value.execute([&] { onQueue = value.queue()->isCurrent(); });
    (void)value.queue()->sync([] {});
    EXPECT_TRUE(onQueue);
}

// `untouch` runs on the calling thread before returning; `mainCurrentOrAsync` only on the GUI thread.
TEST(CallbackQueueMainCurrentOrAsync, RunsInlineOnTheGuiThreadAndDefersFromElsewhere)
{
    bool ran = false, direct = false;
    CallbackQueue::mainCurrentOrAsync().execute([&] { ran = true; });
    CallbackQueue::currentOrAsyncOnMain([&] { direct = true; });
    EXPECT_TRUE(ran && direct);

    std::atomic<bool> deferredRan{false}, ranOnGui{false};
    bool ranBeforeReturn = true, untouchedRanInline = false;
    // The GUI thread is blocked in `join` while the worker calls, so the block cannot have run
    // by the time `execute` returns unless it ran inline.
    std::thread worker([&] {
        CallbackQueue::mainCurrentOrAsync().execute([&] {
            ranOnGui = onGuiThread();
            deferredRan = true;
        });
        ranBeforeReturn = deferredRan;
        CallbackQueue::untouch().execute([&] { untouchedRanInline = !onGuiThread(); });
    });
    worker.join();
    EXPECT_FALSE(ranBeforeReturn);
    EXPECT_TRUE(untouchedRanInline);
    ASSERT_TRUE(waitUntil([&] { return deferredRan.load(); }));
    EXPECT_TRUE(ranOnGui);
}

// Empty blocks are ignored by every kind.
TEST(CallbackQueueMainAsync, NeverRunsInlineAndKeepsMainQueueOrder)
{
    std::vector<int> order;
    DispatchQueue::main()->async([&] { order.push_back(1); });
    CallbackQueue::mainAsync().execute([&] { order.push_back(2); });
    CallbackQueue::asyncOnMain([&] { order.push_back(3); });
    for (const auto& value : {CallbackQueue::mainAsync(), CallbackQueue::mainCurrentOrAsync(), CallbackQueue::untouch()})
        value.execute(DispatchBlock());
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(waitUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

} // namespace
} // namespace Lumen
