#include "Lumen/foundation/Delegate.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using Lumen::Delegate;

namespace {

struct Owner {
    int calls = 0;
};

// An owner that keeps its own hook, the usual shape: the hook must not keep it alive.
struct HookOwner : std::enable_shared_from_this<HookOwner> {
    std::shared_ptr<Delegate<int, int>> onValue = Delegate<int, int>::make();

    void registerHook()
    {
        onValue->delegate(shared_from_this(), [](HookOwner&, const int& value) { return value * 2; });
    }
};

} // namespace

TEST(DelegateEmpty, AnswersNothingAndIsNotSet)
{
    Delegate<int, bool> hook;
    EXPECT_FALSE(hook.isSet());
    EXPECT_EQ(hook.call(1), std::nullopt);
    EXPECT_EQ(hook(1), std::nullopt);
    EXPECT_FALSE(hook.block());

    Delegate<std::pair<qint64, qint64>> progress;
    progress.call({1, 2}); // a void hook with nothing registered does nothing

    Delegate<void, std::optional<QByteArray>> data;
    const std::optional<QByteArray> answer = data();
    EXPECT_EQ(answer, std::nullopt);
}

TEST(DelegateRegistration, PassesTargetAndInputAndAnswersTheOutput)
{
    auto owner = std::make_shared<Owner>();
    Delegate<int, int> hook;
    hook.delegate(owner, [](Owner& target, const int& input) {
        ++target.calls;
        return input + 1;
    });
    EXPECT_TRUE(hook.isSet());
    EXPECT_EQ(hook.call(41), 42);
    EXPECT_EQ(hook(1), 2);
    EXPECT_EQ(owner->calls, 2);
}

TEST(DelegateRegistration, ReleasedTargetsAreNotCalled)
{
    auto owner = std::make_shared<Owner>();
    bool invoked = false;
    Delegate<int, int> hook;
    hook.delegate(owner, [&](Owner&, const int& input) {
        invoked = true;
        return input;
    });
    owner.reset();
    EXPECT_EQ(hook.call(5), std::nullopt);
    EXPECT_FALSE(invoked);
    EXPECT_TRUE(hook.isSet());
}

TEST(DelegateRegistration, QObjectTargetsAreWatchedToo)
{
    auto object = std::make_unique<QObject>();
    int calls = 0;
    Delegate<void> hook;
    hook.delegate(object.get(), [&](QObject&) { ++calls; });
    hook();
    object.reset();
    hook();
    EXPECT_EQ(calls, 1);
}

TEST(DelegateRegistration, AnEmptyClosureSetsTheHookButAnswersNothing)
{
    auto owner = std::make_shared<Owner>();
    Delegate<int, bool> hook;
    hook.delegate(owner, {});
    EXPECT_TRUE(hook.isSet());
    EXPECT_EQ(hook.call(1), std::nullopt);
}

TEST(DelegateRegistration, TheLaterRegistrationReplacesTheEarlier)
{
    auto owner = std::make_shared<Owner>();
    std::vector<int> ran;
    Delegate<void> hook;
    hook.delegate(owner, [&](Owner&) { ran.push_back(1); });
    hook.delegate(owner, [&](Owner&) { ran.push_back(2); });
    hook.call();
    EXPECT_EQ(ran, std::vector<int>{2});

    hook.setBlock({});
    EXPECT_FALSE(hook.isSet());
}

TEST(DelegateRegistration, TheHookDoesNotKeepItsOwnerAlive)
{
    auto owner = std::make_shared<HookOwner>();
    owner->registerHook();
    auto hook = owner->onValue;
    EXPECT_EQ(hook->call(4), 8);

    std::weak_ptr<HookOwner> weak = owner;
    owner.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(hook->call(4), std::nullopt);
}

TEST(DelegateFlattening, OptionalOutputsAreNotWrappedTwice)
{
    auto owner = std::make_shared<Owner>();
    Delegate<int, std::optional<QByteArray>> hook;
    hook.delegate(owner, [](Owner&, const int& input) -> std::optional<QByteArray> {
        if (input == 0)
            return std::nullopt;
        return QByteArray(input, 'x');
    });
    EXPECT_EQ(hook.call(0), std::nullopt);
    EXPECT_EQ(hook.call(3), QByteArray("xxx"));
}

TEST(DelegateConcurrency, AReplacedClosureFinishesItsRunAndRegistrationDoesNotWait)
{
    auto hook = Delegate<void, int>::make();
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool release = false;
    hook->setBlock([&] {
        std::unique_lock lock(mutex);
        started = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return release; });
        return 1;
    });

    std::optional<int> firstAnswer;
    std::thread caller([&] { firstAnswer = hook->call(); });
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return started; }));
    }
    hook->setBlock([] { return 2; }); // must not wait for the running call
    EXPECT_EQ(hook->call(), 2);
    {
        std::lock_guard lock(mutex);
        release = true;
        changed.notify_all();
    }
    caller.join();
    EXPECT_EQ(firstAnswer, 1);
}

TEST(DelegateConcurrency, SettingAndCallingFromManyThreads)
{
    auto hook = Delegate<int, int>::make();
    auto owner = std::make_shared<Owner>();
    std::atomic<bool> stop{false};
    std::atomic<int> badAnswers{0};

    std::thread setter([&] {
        for (int round = 0; round < 2000; ++round) {
            if (round % 3 == 0)
                hook->setBlock({});
            else if (round % 3 == 1)
                hook->setBlock([](const int& input) { return input; });
            else
                hook->delegate(owner, [](Owner&, const int& input) { return input; });
        }
        stop = true;
    });
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t) {
        callers.emplace_back([&] {
            while (!stop) {
                const auto answer = hook->call(7);
                if (answer && *answer != 7)
                    ++badAnswers;
                (void)hook->isSet();
            }
        });
    }
    setter.join();
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(badAnswers, 0);
}
