#include "Lumen/foundation/Box.h"
#include "Lumen/foundation/Delegate.h"
#include "tests/lumen/foundation/FoundationTesting.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QObject>
#include <QPromise>

#include <atomic>
#include <thread>
#include <vector>

namespace Lumen {
namespace {

struct Owner {
    int calls = 0;
};

// An owner that keeps its own hook, the usual shape: the hook must not keep it alive.
struct HookOwner : std::enable_shared_from_this<HookOwner> {
    std::shared_ptr<Delegate<int, int>> onValue = Delegate<int, int>::make();
    void registerHook() { onValue->delegate(shared_from_this(), [](HookOwner&, const int& value) { return value * 2; }); }
};

TEST(Delegate, PassesTargetAndInputAndTheLaterRegistrationWins)
{
    auto owner = std::make_shared<Owner>();
    Delegate<int, std::optional<QByteArray>> hook;
    EXPECT_EQ(hook(1), std::nullopt);
    EXPECT_EQ((Delegate<void, int>()()), std::nullopt);
    hook.delegate(owner, {});
    EXPECT_EQ(hook.call(1), std::nullopt);
    hook.delegate(owner, [](Owner& target, const int& input) -> std::optional<QByteArray> {
        ++target.calls;
        return input == 0 ? std::nullopt : std::optional(QByteArray(input, 'x'));
    });
    // Optional outputs are not wrapped twice.
    EXPECT_EQ(hook.call(0), std::nullopt);
    EXPECT_EQ(hook(3), QByteArray("xxx"));
    EXPECT_EQ(owner->calls, 2);
}

TEST(Delegate, ReleasedTargetsAreNotCalled)
{
    auto object = std::make_unique<QObject>();
    int calls = 0;
    Delegate<void> qobjectHook;
    qobjectHook.delegate(object.get(), [&](QObject&) { ++calls; });
    qobjectHook();
    object.reset();
    qobjectHook();
    EXPECT_EQ(calls, 1);

    auto hookOwner = std::make_shared<HookOwner>();
    hookOwner->registerHook();
    auto ownHook = hookOwner->onValue;
    std::weak_ptr<HookOwner> weak = hookOwner;
    hookOwner.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(ownHook->call(4), std::nullopt);
}

TEST(Delegate, TheAsynchronousFormIsRegisteredAndCalledOnItsOwn)
{
    auto owner = std::make_shared<Owner>();
    Delegate<int, int> hook;
    EXPECT_EQ(hook.callAsync(1).result(), std::nullopt);
    QPromise<int> promise;
    hook.delegateAsync(owner, [&](Owner& target, const int& input) {
        ++target.calls;
        return input == 0 ? QtFuture::makeReadyFuture(-1) : promise.future();
    });
    EXPECT_TRUE(hook.isSet());
    EXPECT_FALSE(hook.block());
    EXPECT_EQ(hook.call(2), std::nullopt);
    EXPECT_EQ(hook.callAsync(0).result(), -1);

    // The hook's future answers when the closure's does.
    const QFuture<std::optional<int>> later = hook.callAsync(2);
    promise.start();
    EXPECT_FALSE(later.isFinished());
    promise.addResult(6);
    promise.finish();
    EXPECT_EQ(later.result(), 6);

    owner.reset();
    EXPECT_EQ(hook.callAsync(3).result(), std::nullopt);
}

TEST(DelegateConcurrency, AReplacedClosureFinishesItsRunAndRegistrationDoesNotWait)
{
    auto hook = Delegate<void, int>::make();
    Testing::Gate started, release;
    hook->setBlock([&] { return started.open(), release.wait(), 1; });
    std::optional<int> firstAnswer;
    std::thread caller([&] { firstAnswer = hook->call(); });
    ASSERT_TRUE(started.wait());
    hook->setBlock([] { return 2; }); // must not wait for the running call
    EXPECT_EQ(hook->call(), 2);
    release.open();
    caller.join();
    EXPECT_EQ(firstAnswer, 1);
}

TEST(DelegateConcurrency, SettingAndCallingFromManyThreads)
{
    auto hook = Delegate<int, int>::make();
    auto owner = std::make_shared<Owner>();
    std::atomic<bool> stop{false};
    std::atomic<int> badAnswers{0};
    std::vector<std::thread> callers;
    // Every answer is that of a whole registration: nothing, or the closure's.
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&] {
            while (!stop) {
                const std::optional<int> answer = hook->call(7);
                badAnswers += answer && *answer != 14 ? 1 : 0;
            }
        });
    for (int round = 0; round < 2000; ++round) {
        if (round % 2 == 0)
            hook->setBlock({});
        else
            hook->delegate(owner, [](Owner&, const int& input) { return input * 2; });
    }
    stop = true;
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(badAnswers, 0);
}

TEST(ActorBoxConcurrency, NoChangeIsLostBetweenThreads)
{
    ActorBox<QList<int>> box({});
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&box] {
            for (int round = 0; round < 500; ++round)
                box.update([round](QList<int>& value) { value.append(round); });
        });
    for (auto& writer : writers)
        writer.join();
    EXPECT_EQ(box.value().size(), 2000);
    box.setValue({1});
    EXPECT_EQ(box.value(), QList<int>{1});
}

} // namespace
} // namespace Lumen
