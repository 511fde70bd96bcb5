#include "Lumen/foundation/DispatchQueue.h"
#include "Lumen/foundation/DispatchWorkItem.h"
#include "Lumen/foundation/ManualDispatchClock.h"

#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <expected>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using Lumen::DispatchError;
using Lumen::DispatchQueue;
using Lumen::DispatchWorkItem;
using Lumen::ManualDispatchClock;
using Tivrand::Testing::waitUntil;

namespace {

// A one-shot gate that lets a test hold a block in place while it checks something.
class Gate {
public:
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    // Bounded, so a broken queue fails the test instead of hanging it.
    bool wait()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

bool onGuiThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

TEST(DispatchQueueSerial, ManyProducersRunOneAtATimeInOrderPerProducer)
{
    constexpr int producerCount = 8;
    constexpr int blocksPerProducer = 2000;
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"));

    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    // Written without a lock on purpose: only the queue's exclusivity protects it, so a
    // thread sanitizer run also proves that consecutive blocks are ordered.
    std::vector<std::pair<int, int>> seen;
    seen.reserve(producerCount * blocksPerProducer);

    std::vector<std::thread> producers;
    for (int producer = 0; producer < producerCount; ++producer) {
        producers.emplace_back([&, producer] {
            for (int sequence = 0; sequence < blocksPerProducer; ++sequence) {
                queue->async([&, producer, sequence] {
                    if (running.fetch_add(1) != 0)
                        overlapped = true;
                    seen.emplace_back(producer, sequence);
                    running.fetch_sub(1);
                });
            }
        });
    }
    for (auto& producer : producers)
        producer.join();
    ASSERT_TRUE(queue->sync([] {}).has_value());

    EXPECT_FALSE(overlapped);
    ASSERT_EQ(seen.size(), std::size_t(producerCount * blocksPerProducer));
    std::vector<int> next(producerCount, 0);
    for (const auto& [producer, sequence] : seen) {
        ASSERT_EQ(sequence, next[producer]) << "producer " << producer;
        ++next[producer];
    }
}

TEST(DispatchQueueSerial, BlocksRunOnPoolThreadsAndKnowTheirQueue)
{
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.label"));
    auto other = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.other"));
    EXPECT_EQ(queue->label(), QStringLiteral("com.vantrel.Lumen.label"));
    EXPECT_FALSE(queue->isCurrent());

    std::atomic<bool> done{false};
    bool onQueue = false;
    bool onOther = true;
    bool onCaller = true;
    const auto caller = std::this_thread::get_id();
    queue->async([&] {
        onQueue = queue->isCurrent();
        onOther = other->isCurrent();
        onCaller = std::this_thread::get_id() == caller;
        done = true;
    });
    ASSERT_TRUE(waitUntil([&] { return done.load(); }));
    EXPECT_TRUE(onQueue);
    EXPECT_FALSE(onOther);
    EXPECT_FALSE(onCaller);
}

TEST(DispatchQueueSerial, SyncWaitsForEarlierBlocksAndAnswersTheResult)
{
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"));
    Gate gate;
    std::vector<int> values;
    queue->async([&] { gate.wait(); });
    for (int i = 0; i < 100; ++i)
        queue->async([&values, i] { values.push_back(i); });

    std::thread opener([&] { gate.open(); });
    const auto size = queue->sync([&] { return values.size(); });
    opener.join();
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(*size, 100u);
}

TEST(DispatchQueueSerial, SyncFromItsOwnBlockRunsAtOnceInsteadOfDeadlocking)
{
    auto first = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.first"));
    auto second = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.second"));

    const auto result = first->sync([&] {
        // first -> second -> first: both are held by this thread, so neither call waits.
        return second->sync([&] {
            const bool onBoth = first->isCurrent() && second->isCurrent();
            return first->sync([onBoth] { return onBoth ? 42 : -1; });
        });
    });
    ASSERT_TRUE(result.has_value());
    ASSERT_TRUE(result->has_value());
    ASSERT_TRUE((*result)->has_value());
    EXPECT_EQ(***result, 42);
    EXPECT_FALSE(first->isCurrent());
}

TEST(DispatchQueueSerial, SyncCallersShareTheOrderAndExclusivityOfAsyncBlocks)
{
    constexpr int callerCount = 6;
    constexpr int blocksPerCaller = 500;
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"));
    std::vector<std::vector<int>> seen(callerCount); // guarded only by the queue
    std::vector<std::thread> callers;
    for (int caller = 0; caller < callerCount; ++caller) {
        callers.emplace_back([&, caller] {
            for (int sequence = 0; sequence < blocksPerCaller; ++sequence) {
                auto record = [&, caller, sequence] { seen[caller].push_back(sequence); };
                if (sequence % 3 == 0)
                    (void)queue->sync(record);
                else
                    queue->async(record);
            }
        });
    }
    for (auto& caller : callers)
        caller.join();
    ASSERT_TRUE(queue->sync([] {}).has_value());
    for (int caller = 0; caller < callerCount; ++caller) {
        ASSERT_EQ(seen[caller].size(), std::size_t(blocksPerCaller));
        for (int sequence = 0; sequence < blocksPerCaller; ++sequence)
            ASSERT_EQ(seen[caller][sequence], sequence) << "caller " << caller;
    }
}

TEST(DispatchQueueSerial, PendingWorkKeepsTheQueueAlive)
{
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"));
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

TEST(DispatchQueueGlobal, BlocksRunSideBySide)
{
    auto queue = DispatchQueue::global();
    Gate firstStarted;
    Gate secondStarted;
    std::atomic<int> finished{0};
    // Each block waits for the other to start: only possible when they run at the same time.
    queue->async([&] {
        firstStarted.open();
        if (secondStarted.wait())
            ++finished;
    });
    queue->async([&] {
        secondStarted.open();
        if (firstStarted.wait())
            ++finished;
    });
    ASSERT_TRUE(waitUntil([&] { return finished.load() == 2; }, 15s));
}

TEST(DispatchQueueGlobal, SyncRunsOnTheCallerAndCountsAsCurrent)
{
    auto queue = DispatchQueue::global();
    const auto caller = std::this_thread::get_id();
    const auto result = queue->sync([&] { return queue->isCurrent() && std::this_thread::get_id() == caller; });
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(*result);
    EXPECT_FALSE(queue->isCurrent());
}

TEST(DispatchQueueMain, BlocksFromOtherThreadsRunOnTheGuiThreadInOrder)
{
    auto queue = DispatchQueue::main();
    EXPECT_TRUE(queue->isCurrent());
    std::vector<int> order; // touched only on the GUI thread
    std::atomic<bool> allOnGui{true};
    std::thread producer([&] {
        EXPECT_FALSE(queue->isCurrent());
        for (int i = 0; i < 50; ++i) {
            queue->async([&, i] {
                allOnGui = allOnGui && onGuiThread();
                order.push_back(i);
            });
        }
    });
    producer.join();
    ASSERT_TRUE(waitUntil([&] { return order.size() == 50; }));
    EXPECT_TRUE(allOnGui);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[i], i);
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
    ASSERT_TRUE(outcome->answer.has_value());
    EXPECT_TRUE(*outcome->answer);

    // From the GUI thread itself it runs at once.
    const auto inline_ = queue->sync([] { return 5; });
    ASSERT_TRUE(inline_.has_value());
    EXPECT_EQ(*inline_, 5);
}

TEST(DispatchQueueMain, CapturesOfBlocksFromOtherThreadsAreReleasedOnTheGuiThread)
{
    // Records where the block that owns it lets go of it.
    struct ReleaseProbe {
        std::atomic<int>* offGuiReleases;
        std::atomic<int>* releases;
        ~ReleaseProbe()
        {
            if (!onGuiThread())
                ++*offGuiReleases;
            ++*releases;
        }
    };
    constexpr int blockCount = 200;
    std::atomic<int> offGuiReleases{0};
    std::atomic<int> releases{0};
    auto queue = DispatchQueue::main();
    std::thread producer([&] {
        for (int i = 0; i < blockCount; ++i) {
            std::unique_ptr<ReleaseProbe> probe(new ReleaseProbe{&offGuiReleases, &releases});
            queue->async([probe = std::move(probe)] {});
            // Let the GUI thread overtake the poster now and then.
            if (i % 10 == 0)
                std::this_thread::yield();
        }
    });
    producer.join();
    ASSERT_TRUE(waitUntil([&] { return releases.load() == blockCount; }, 60s));
    EXPECT_EQ(offGuiReleases.load(), 0);
}

TEST(DispatchQueueTimed, DelayedBlocksWaitForTheManualClock)
{
    auto clock = ManualDispatchClock::make();
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"), clock);
    std::vector<QString> order; // read through `sync` only
    queue->asyncAfter(2s, [&] { order.push_back(QStringLiteral("late")); });
    queue->asyncAfter(1s, [&] { order.push_back(QStringLiteral("early")); });
    queue->asyncAfter(1s, [&] { order.push_back(QStringLiteral("early, second")); });
    EXPECT_EQ(clock->pendingCount(), 3u);

    clock->advance(999ms);
    EXPECT_TRUE(queue->sync([&] { return order.empty(); }).value_or(false));

    clock->advance(1ms);
    EXPECT_EQ(queue->sync([&] { return order; }).value_or(std::vector<QString>{}),
              (std::vector<QString>{QStringLiteral("early"), QStringLiteral("early, second")}));

    clock->advance(10s);
    EXPECT_EQ(queue->sync([&] { return order.size(); }).value_or(0), 3u);
    EXPECT_EQ(clock->pendingCount(), 0u);
}

TEST(DispatchQueueTimed, ZeroOrNegativeDelaysRunOnTheNextAdvance)
{
    auto clock = ManualDispatchClock::make();
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"), clock);
    int runs = 0;
    queue->asyncAfter(0s, [&] { ++runs; });
    queue->asyncAfter(-5s, [&] { ++runs; });
    clock->advance(0s);
    EXPECT_EQ(queue->sync([&] { return runs; }).value_or(-1), 2);
}

TEST(DispatchQueueTimed, MainQueueDelaysFollowItsClock)
{
    auto clock = ManualDispatchClock::make();
    auto queue = DispatchQueue::makeMain(clock);
    bool ran = false;
    queue->asyncAfter(3s, [&] { ran = onGuiThread(); });
    clock->advance(2s);
    Tivrand::Testing::pumpEvents(20ms);
    EXPECT_FALSE(ran);
    clock->advance(1s);
    EXPECT_TRUE(waitUntil([&] { return ran; }));
}

TEST(DispatchQueueTimed, SystemClockRunsDelayedWorkNoEarlierThanAsked)
{
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"));
    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> ran{false};
    std::chrono::steady_clock::time_point ranAt;
    queue->asyncAfter(30ms, [&] {
        ranAt = std::chrono::steady_clock::now();
        ran = true;
    });
    ASSERT_TRUE(waitUntil([&] { return ran.load(); }));
    EXPECT_GE(ranAt - start, 30ms);
}

TEST(DispatchQueueWorkItem, CancelledItemsNeverRunAndReleaseTheirCaptures)
{
    auto clock = ManualDispatchClock::make();
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"), clock);
    auto captured = std::make_shared<int>(1);
    std::weak_ptr<int> weakCapture = captured;
    bool ran = false;
    auto item = DispatchWorkItem::make([&ran, captured = std::move(captured)] { ran = true; });

    queue->asyncAfter(1s, item);
    item->cancel();
    EXPECT_TRUE(item->isCancelled());
    EXPECT_TRUE(weakCapture.expired());

    clock->advance(1s);
    EXPECT_FALSE(queue->sync([&] { return ran; }).value_or(true));
}

TEST(DispatchQueueWorkItem, ItemsRunUntilCancelled)
{
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"));
    int runs = 0;
    auto item = DispatchWorkItem::make([&runs] { ++runs; });
    queue->async(item);
    queue->async(item);
    EXPECT_EQ(queue->sync([&] { return runs; }).value_or(-1), 2);
    EXPECT_FALSE(item->isCancelled());

    Gate gate;
    queue->async([&] { gate.wait(); });
    queue->async(item);
    item->cancel();
    gate.open();
    EXPECT_EQ(queue->sync([&] { return runs; }).value_or(-1), 2);
}

TEST(DispatchQueueWorkItem, ARunUnderWayFinishesWhenCancelled)
{
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"));
    Gate started;
    Gate proceed;
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
