#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/DispatchQueue.h"
#include "tests/lumen/foundation/FoundationTesting.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>
#include <vector>

namespace Lumen {
namespace {

using Testing::onGuiThread;
using Tivrand::Testing::waitUntil;

TEST(CallbackQueueDispatch, KeepsItsQueueAliveAndRunsInOrderOnIt)
{
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"));
    std::weak_ptr<DispatchQueue> weak = queue;
    const CallbackQueue value = CallbackQueue::dispatch(*queue);
    EXPECT_EQ(value, CallbackQueue::dispatch(*queue));
    queue.reset();
    EXPECT_FALSE(weak.expired());

    std::vector<int> order, expected(200); // order: guarded by the queue alone
    std::iota(expected.begin(), expected.end(), 0);
    std::atomic<bool> allOnQueue{true};
    for (int i = 0; i < 200; ++i)
        value.execute([&, i] {
            allOnQueue = allOnQueue && value.queue()->isCurrent();
            order.push_back(i);
        });
    EXPECT_EQ(value.queue()->sync([&] { return order; }).value_or(std::vector<int>{}), expected);
    EXPECT_TRUE(allOnQueue);
}

TEST(CallbackQueueUntouch, RunsOnTheCallingThreadBeforeReturning)
{
    std::thread worker([] {
        const auto self = std::this_thread::get_id();
        bool ranOnWorker = false;
        CallbackQueue::untouch().execute([&] { ranOnWorker = std::this_thread::get_id() == self; });
        EXPECT_TRUE(ranOnWorker);
    });
    worker.join();
}

TEST(CallbackQueueMainCurrentOrAsync, RunsInlineOnTheGuiThreadAndDefersFromElsewhere)
{
    EXPECT_EQ(CallbackQueue(), CallbackQueue::mainCurrentOrAsync());
    bool ran = false, direct = false;
    CallbackQueue::mainCurrentOrAsync().execute([&] { ran = true; });
    CallbackQueue::currentOrAsyncOnMain([&] { direct = true; });
    EXPECT_TRUE(ran && direct);

    std::atomic<bool> deferredRan{false}, ranOnGui{false};
    bool ranBeforeReturn = true;
    // The GUI thread is blocked in `join` while the worker calls, so the block cannot have run
    // by the time `execute` returns unless it ran inline.
    std::thread worker([&] {
        CallbackQueue::mainCurrentOrAsync().execute([&] {
            ranOnGui = onGuiThread();
            deferredRan = true;
        });
        ranBeforeReturn = deferredRan;
    });
    worker.join();
    EXPECT_FALSE(ranBeforeReturn);
    ASSERT_TRUE(waitUntil([&] { return deferredRan.load(); }));
    EXPECT_TRUE(ranOnGui);
}

TEST(CallbackQueueMainAsync, NeverRunsInlineAndKeepsMainQueueOrder)
{
    std::vector<int> order;
    DispatchQueue::main()->async([&] { order.push_back(1); });
    CallbackQueue::mainAsync().execute([&] { order.push_back(2); });
    CallbackQueue::asyncOnMain([&] { order.push_back(3); });
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(waitUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(CallbackQueueDispatch, EmptyBlocksAreIgnoredForEveryKind)
{
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"));
    for (const auto& value : {CallbackQueue::dispatch(*queue), CallbackQueue::mainAsync(),
                              CallbackQueue::mainCurrentOrAsync(), CallbackQueue::untouch()})
        value.execute(DispatchBlock());
    EXPECT_TRUE(queue->sync([] {}).has_value());
    Tivrand::Testing::pumpEvents(std::chrono::milliseconds(10));
}

} // namespace
} // namespace Lumen
