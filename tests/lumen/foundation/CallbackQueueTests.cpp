#include "Lumen/foundation/CallbackQueue.h"
#include "Lumen/foundation/DispatchQueue.h"

#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using Lumen::CallbackQueue;
using Lumen::DispatchQueue;
using Tivrand::Testing::waitUntil;

namespace {

bool onGuiThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

TEST(CallbackQueueValue, DefaultsToMainCurrentOrAsyncAndComparesByQueue)
{
    EXPECT_EQ(CallbackQueue().kind(), CallbackQueue::Kind::mainCurrentOrAsync);
    EXPECT_EQ(CallbackQueue(), CallbackQueue::mainCurrentOrAsync());
    EXPECT_NE(CallbackQueue::mainAsync(), CallbackQueue::untouch());
    EXPECT_EQ(CallbackQueue::untouch().queue(), nullptr);

    auto first = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.first"));
    auto second = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.second"));
    EXPECT_EQ(CallbackQueue::dispatch(*first), CallbackQueue::dispatch(*first));
    EXPECT_NE(CallbackQueue::dispatch(*first), CallbackQueue::dispatch(*second));
    EXPECT_EQ(CallbackQueue::dispatch(*first).queue(), first);
}

TEST(CallbackQueueValue, ADispatchValueKeepsItsQueueAlive)
{
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"));
    std::weak_ptr<DispatchQueue> weak = queue;
    auto value = std::make_unique<CallbackQueue>(CallbackQueue::dispatch(*queue));
    const CallbackQueue copy = *value;
    queue.reset();
    value.reset();
    EXPECT_FALSE(weak.expired());

    std::atomic<bool> ran{false};
    copy.execute([&] { ran = true; });
    EXPECT_TRUE(waitUntil([&] { return ran.load(); }));
}

TEST(CallbackQueueUntouch, RunsOnTheCallingThreadBeforeReturning)
{
    bool ranHere = false;
    CallbackQueue::untouch().execute([&] { ranHere = onGuiThread(); });
    EXPECT_TRUE(ranHere);

    std::thread worker([] {
        const auto self = std::this_thread::get_id();
        bool ranOnWorker = false;
        CallbackQueue::untouch().execute([&] { ranOnWorker = std::this_thread::get_id() == self; });
        EXPECT_TRUE(ranOnWorker);
    });
    worker.join();
}

TEST(CallbackQueueMainCurrentOrAsync, RunsInlineOnTheGuiThread)
{
    bool ran = false;
    CallbackQueue::mainCurrentOrAsync().execute([&] { ran = true; });
    EXPECT_TRUE(ran);

    bool direct = false;
    CallbackQueue::currentOrAsyncOnMain([&] { direct = true; });
    EXPECT_TRUE(direct);
}

TEST(CallbackQueueMainCurrentOrAsync, DefersToTheGuiThreadFromElsewhere)
{
    std::atomic<bool> ran{false};
    std::atomic<bool> ranOnGui{false};
    bool ranBeforeReturn = true;
    // The GUI thread is blocked in `join` while the worker calls, so the block cannot have run
    // by the time `execute` returns unless it ran inline.
    std::thread worker([&] {
        CallbackQueue::mainCurrentOrAsync().execute([&] {
            ranOnGui = onGuiThread();
            ran = true;
        });
        ranBeforeReturn = ran;
    });
    worker.join();
    EXPECT_FALSE(ranBeforeReturn);
    ASSERT_TRUE(waitUntil([&] { return ran.load(); }));
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

TEST(CallbackQueueDispatch, SerialQueueBlocksRunInOrderNeverTogether)
{
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"));
    const CallbackQueue callbackQueue = CallbackQueue::dispatch(*queue);
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::vector<int> order; // guarded by the queue alone
    for (int i = 0; i < 200; ++i) {
        callbackQueue.execute([&, i] {
            if (running.fetch_add(1) != 0)
                overlapped = true;
            order.push_back(i);
            running.fetch_sub(1);
        });
    }
    const auto seen = queue->sync([&] { return order; });
    ASSERT_TRUE(seen.has_value());
    ASSERT_EQ(seen->size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ((*seen)[i], i);
    EXPECT_FALSE(overlapped);
}

TEST(CallbackQueueDispatch, EmptyBlocksAreIgnoredForEveryKind)
{
    auto queue = DispatchQueue::makeSerial(QStringLiteral("com.vantrel.Lumen.test"));
    for (const auto& value : {CallbackQueue::dispatch(*queue), CallbackQueue::mainAsync(),
                              CallbackQueue::mainCurrentOrAsync(), CallbackQueue::untouch()})
        value.execute(Lumen::DispatchBlock());
    EXPECT_TRUE(queue->sync([] {}).has_value());
    Tivrand::Testing::pumpEvents(std::chrono::milliseconds(10));
}
