#pragma once

#include <QFuture>
#include <QObject>
#include <QPointer>

#include <concepts>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

namespace Lumen {

namespace DelegateDetail {

template <typename T>
inline constexpr bool isOptional = false;
template <typename T>
inline constexpr bool isOptional<std::optional<T>> = true;

// What a call answers: nothing for a void hook; an optional output is flattened, so "nothing
// registered" and "the closure answered nothing" read the same; any other output is wrapped.
template <typename Output>
using Answer = std::conditional_t<std::is_void_v<Output> || isOptional<Output>, Output, std::optional<Output>>;

template <typename Input, typename Result, typename... Leading>
struct FunctionOf {
    using type = std::function<Result(Leading..., const Input&)>;
};
template <typename Result, typename... Leading>
struct FunctionOf<void, Result, Leading...> {
    using type = std::function<Result(Leading...)>;
};

} // namespace DelegateDetail

// A replaceable callback slot that lets an object call back into its owner without keeping
// the owner alive. Shared by reference (hold it in a `std::shared_ptr`). Setting and calling
// may happen on different threads; a call runs on the caller's thread, outside the guard, so a
// closure replaced while it runs finishes its run and registration never waits for a call.
// A hook holds a synchronous closure, an asynchronous one answering a future, or both; each
// form is registered and called on its own.
template <typename Input, typename Output = void>
class Delegate {
public:
    using Answer = DelegateDetail::Answer<Output>;
    using Block = typename DelegateDetail::FunctionOf<Input, Answer>::type;
    using AsyncBlock = typename DelegateDetail::FunctionOf<Input, QFuture<Answer>>::type;

    Delegate() = default;
    Delegate(const Delegate&) = delete;
    Delegate& operator=(const Delegate&) = delete;

    static std::shared_ptr<Delegate> make() { return std::make_shared<Delegate>(); }

    Block block() const { return read(m_block); }
    // An empty block clears the hook.
    void setBlock(Block block) { replace(m_block, std::move(block)); }

    AsyncBlock asyncBlock() const { return read(m_asyncBlock); }
    // An empty block clears the asynchronous form.
    void setAsyncBlock(AsyncBlock block) { replace(m_asyncBlock, std::move(block)); }

    // Whether either form is registered.
    bool isSet() const
    {
        std::lock_guard lock(m_mutex);
        return m_block != nullptr || m_asyncBlock != nullptr;
    }

    // Registers `block` with a weakly held target: the hook answers nothing, without calling
    // `block`, once the target is gone. An empty `block` still marks the hook as set.
    template <typename Target>
    void delegate(const std::shared_ptr<Target>& target,
                  typename DelegateDetail::FunctionOf<Input, Output, Target&>::type block)
    {
        setBlock(makeGuarded([weak = std::weak_ptr<Target>(target)] { return weak.lock(); },
                             std::move(block)));
    }

    // The same for a `QObject` owner, watched through a `QPointer`. The owner must be
    // destroyed on the thread that calls the hook (GUI objects and their hooks).
    template <std::derived_from<QObject> Target>
    void delegate(Target* target, typename DelegateDetail::FunctionOf<Input, Output, Target&>::type block)
    {
        setBlock(makeGuarded([watched = QPointer<Target>(target)] { return watched.data(); },
                             std::move(block)));
    }

    // The asynchronous form of `delegate`: `block` answers a future, and the hook's future
    // answers nothing at once once the target is gone.
    template <typename Target>
    void delegateAsync(const std::shared_ptr<Target>& target,
                       typename DelegateDetail::FunctionOf<Input, QFuture<Output>, Target&>::type block)
    {
        setAsyncBlock(makeGuardedAsync<Target>([weak = std::weak_ptr<Target>(target)] { return weak.lock(); },
                                               std::move(block)));
    }

    // Calls the asynchronous form; a future that has already answered nothing when none is
    // registered.
    template <typename In = Input>
        requires(!std::is_void_v<In>)
    QFuture<Answer> callAsync(const std::type_identity_t<In>& input) const
    {
        const auto stored = currentAsync();
        if (!stored)
            return nothingYet();
        return (*stored)(input);
    }

    template <typename In = Input>
        requires std::is_void_v<In>
    QFuture<Answer> callAsync() const
    {
        const auto stored = currentAsync();
        if (!stored)
            return nothingYet();
        return (*stored)();
    }

    template <typename In = Input>
        requires(!std::is_void_v<In>)
    Answer call(const std::type_identity_t<In>& input) const
    {
        const auto stored = current();
        if (!stored)
            return Answer();
        return (*stored)(input);
    }

    template <typename In = Input>
        requires std::is_void_v<In>
    Answer call() const
    {
        const auto stored = current();
        if (!stored)
            return Answer();
        return (*stored)();
    }

    template <typename In = Input>
        requires(!std::is_void_v<In>)
    Answer operator()(const std::type_identity_t<In>& input) const
    {
        return call(input);
    }

    template <typename In = Input>
        requires std::is_void_v<In>
    Answer operator()() const
    {
        return call();
    }

private:
    std::shared_ptr<const Block> current() const
    {
        std::lock_guard lock(m_mutex);
        return m_block;
    }

    std::shared_ptr<const AsyncBlock> currentAsync() const
    {
        std::lock_guard lock(m_mutex);
        return m_asyncBlock;
    }

    template <typename Function>
    Function read(const std::shared_ptr<const Function>& slot) const
    {
        std::lock_guard lock(m_mutex);
        return slot ? *slot : Function();
    }

    template <typename Function>
    void replace(std::shared_ptr<const Function>& slot, Function block)
    {
        auto stored = block ? std::make_shared<const Function>(std::move(block)) : nullptr;
        std::lock_guard lock(m_mutex);
        slot.swap(stored);
        // The replaced closure is released after the guard, by `stored`.
    }

    static QFuture<Answer> nothingYet()
    {
        if constexpr (std::is_void_v<Answer>)
            return QtFuture::makeReadyFuture();
        else
            return QtFuture::makeReadyFuture(Answer());
    }

    // The registered closure's future as the hook's: an output that is not optional is wrapped.
    static QFuture<Answer> answering(QFuture<Output> future)
    {
        if constexpr (std::is_same_v<Answer, Output>)
            return future;
        else
            return future.then([](Output output) { return Answer(std::move(output)); });
    }

    // `lockTarget` answers a pointer-like strong reference to the target, or null once it is
    // gone; it is held for the duration of the call. Without a target or a block the answer is
    // `nothing()`.
    template <typename Result, typename LockTarget, typename TargetBlock, typename Nothing>
    static auto makeGuarded(LockTarget lockTarget, TargetBlock block, Nothing nothing)
    {
        using Stored = typename DelegateDetail::FunctionOf<Input, Result>::type;
        if constexpr (std::is_void_v<Input>) {
            return Stored([lockTarget = std::move(lockTarget), block = std::move(block), nothing]() -> Result {
                const auto target = lockTarget();
                if (!target || !block)
                    return nothing();
                return block(*target);
            });
        } else {
            return Stored([lockTarget = std::move(lockTarget), block = std::move(block),
                           nothing](const Input& input) -> Result {
                const auto target = lockTarget();
                if (!target || !block)
                    return nothing();
                return block(*target, input);
            });
        }
    }

    template <typename LockTarget, typename TargetBlock>
    static Block makeGuarded(LockTarget lockTarget, TargetBlock block)
    {
        return makeGuarded<Answer>(std::move(lockTarget), std::move(block), [] { return Answer(); });
    }

    template <typename Target, typename LockTarget>
    static AsyncBlock makeGuardedAsync(
        LockTarget lockTarget, typename DelegateDetail::FunctionOf<Input, QFuture<Output>, Target&>::type block)
    {
        typename DelegateDetail::FunctionOf<Input, QFuture<Answer>, Target&>::type answeringBlock;
        if (block)
            answeringBlock = [block = std::move(block)](auto&&... arguments) { return answering(block(arguments...)); };
        return makeGuarded<QFuture<Answer>>(std::move(lockTarget), std::move(answeringBlock), &nothingYet);
    }

    mutable std::mutex m_mutex;
    std::shared_ptr<const Block> m_block;
    std::shared_ptr<const AsyncBlock> m_asyncBlock;
};

} // namespace Lumen
